// SPDX-License-Identifier: Apache-2.0
// Writing JSON Lines: each field type out as its JSON form and read back
// to the same value, texts escaped, values without a JSON form refused
// with nothing of their batch written, gzip files, the file kinds of
// create and drop, and a copy from a delimited file and back.
#include "json_test_env.h"

#include <sys/stat.h>

namespace connectortest {
namespace {

using Fields = std::vector<std::pair<std::string, uint32_t>>;

const Fields kAllTypes = {{"i", RDTYPE_INT},     {"f", RDTYPE_FLOAT},    {"c", RDTYPE_CURRENCY},
                          {"n", RDTYPE_NUMERIC}, {"d", RDTYPE_DATETIME}, {"t", RDTYPE_TEXT},
                          {"b", RDTYPE_BINARY}};

TEST_F(JsonTest, EachTypeIsWrittenAsItsJsonFormAndReadsBackTheSame) {
    auto c = Open("out.jsonl", {{"Create", "1"}});
    ASSERT_EQ(0u, InsertRows(*c, kAllTypes,
                             {{"-2147483648", "0.5", "12.3456", "-123456789012345678901.25",
                               "2024-02-29 23:59:58.25", "a\"b\\c\n\t\x01\xC3\xA9/", "00FF10"},
                              {"<null>", "<null>", "<null>", "<null>", "<null>", "", ""},
                              {"0", "-1e-300", "-0.5", "0.01", "2024-01-01", "\xF0\x9F\x98\x80",
                               "<null>"}}))
        << c->LastError();
    EXPECT_EQ("{\"i\":-2147483648,\"f\":0.5,\"c\":12.3456,\"n\":-123456789012345678901.25,"
              "\"d\":\"2024-02-29 23:59:58.25\",\"t\":\"a\\\"b\\\\c\\n\\t\\u0001\xC3\xA9/\","
              "\"b\":\"AP8Q\"}\n"
              "{\"i\":null,\"f\":null,\"c\":null,\"n\":null,\"d\":null,\"t\":\"\",\"b\":\"\"}\n"
              "{\"i\":0,\"f\":-1e-300,\"c\":-0.5000,\"n\":0.01,\"d\":\"2024-01-01\","
              "\"t\":\"\xF0\x9F\x98\x80\",\"b\":null}\n",
              ReadFile(Path("out.jsonl")));
    const auto rows =
        ReadAll("out.jsonl", {{"Columns", "i:int,f:float,c:currency,n:numeric(30,2),d:datetime,"
                                          "t:text,b:binary"}});
    EXPECT_EQ((std::vector<std::string>{
                  "-2147483648|0.5|12.3456|-123456789012345678901.25|2024-02-29 23:59:58.25|"
                  "a\"b\\c\n\t\x01\xC3\xA9/|00FF10",
                  "<null>|<null>|<null>|<null>|<null>||",
                  "0|-1e-300|-.5000|0.01|2024-01-01|\xF0\x9F\x98\x80|<null>"}),
              rows);
}

TEST_F(JsonTest, DeclaredBoolAndJsonFieldsAreWrittenUnquoted) {
    auto c = Open("forms.jsonl", {{"Create", "1"}, {"Columns", "ok:bool,doc:json,flag:bool"}});
    const Fields fields = {{"ok", RDTYPE_INT}, {"doc", RDTYPE_TEXT}, {"flag", RDTYPE_TEXT}};
    ASSERT_EQ(0u,
              InsertRows(*c, fields,
                         {{"1", "{\"a\": [1, {\"b\": null}]}", "false"}, {"0", "[\r\n]", "true"}}))
        << c->LastError();
    EXPECT_EQ("{\"ok\":true,\"doc\":{\"a\": [1, {\"b\": null}]},\"flag\":false}\n"
              "{\"ok\":false,\"doc\":[  ],\"flag\":true}\n", // line ends inside: blanks
              ReadFile(Path("forms.jsonl")));
    // Inferred back: bool and json again.
    std::string layout;
    EXPECT_EQ((std::vector<std::string>{"1|{\"a\": [1, {\"b\": null}]}|0", "0|[  ]|1"}),
              ReadAll("forms.jsonl", {}, &layout));
    // A text that is no JSON value does not go into a json field.
    EXPECT_EQ(RDSTATUS_RECORDFAULT, InsertRows(*c, fields, {{"1", "{\"a\":", "true"}}));
    EXPECT_NE(std::string::npos, c->LastError().find("doc")) << c->LastError();
}

TEST_F(JsonTest, ValuesWithoutAJsonFormFailTheirBatchWithNothingWritten) {
    WriteFile(Path("keep.jsonl"), "{\"t\":\"old\"}");
    auto c = Open("keep.jsonl");
    // Broken UTF-8 in a text, and a float that is not finite.
    EXPECT_EQ(RDSTATUS_RECORDFAULT,
              InsertRows(*c, {{"t", RDTYPE_TEXT}}, {{"fine"}, {"bad \xC3\x28 byte"}}));
    EXPECT_NE(std::string::npos, c->LastError().find("record 2")) << c->LastError();
    List list(1);
    Fill(list, {{"f", RDTYPE_FLOAT}}, {{"0"}});
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(list, 1, 256, &field, nullptr));
    const double infinite = 1e308 * 10;
    ASSERT_EQ(0u, RDFieldSetFloat(field, 1, &infinite));
    uint32_t done = 9;
    EXPECT_EQ(RDSTATUS_RECORDFAULT, c->Insert(list, 1, 1, &done));
    EXPECT_EQ(0u, done);
    EXPECT_EQ("{\"t\":\"old\"}", ReadFile(Path("keep.jsonl")));
    // A good batch goes after the last line, which gets its line end.
    ASSERT_EQ(0u, InsertRows(*c, {{"t", RDTYPE_TEXT}}, {{"new"}}));
    EXPECT_EQ("{\"t\":\"old\"}\n{\"t\":\"new\"}\n", ReadFile(Path("keep.jsonl")));
}

TEST_F(JsonTest, GzipFilesAreWrittenBatchByBatchAndReadBack) {
    auto c = Open("z.jsonl.gz", {{"Create", "1"}});
    ASSERT_EQ(0u,
              InsertRows(*c, {{"n", RDTYPE_INT}, {"s", RDTYPE_TEXT}}, {{"1", "a"}, {"2", "b"}}));
    ASSERT_EQ(0u, InsertRows(*c, {{"n", RDTYPE_INT}, {"s", RDTYPE_TEXT}}, {{"3", "c"}}));
    const std::string raw = ReadFile(Path("z.jsonl.gz"));
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ("\x1F\x8B", raw.substr(0, 2));
    EXPECT_EQ("{\"n\":1,\"s\":\"a\"}\n{\"n\":2,\"s\":\"b\"}\n{\"n\":3,\"s\":\"c\"}\n",
              Gunzip(Path("z.jsonl.gz")));
    EXPECT_EQ((std::vector<std::string>{"1|a", "2|b", "3|c"}), ReadAll("z.jsonl.gz", {}));
    // Compression "gzip" without the suffix, "none" with it.
    auto g = Open("g.data", {{"Create", "1"}, {"Compression", "gzip"}});
    ASSERT_EQ(0u, InsertRows(*g, {{"n", RDTYPE_INT}}, {{"7"}}));
    EXPECT_EQ("{\"n\":7}\n", Gunzip(Path("g.data")));
    auto p = Open("plain.gz", {{"Create", "1"}, {"Compression", "none"}});
    ASSERT_EQ(0u, InsertRows(*p, {{"n", RDTYPE_INT}}, {{"8"}}));
    EXPECT_EQ("{\"n\":8}\n", ReadFile(Path("plain.gz")));
}

TEST_F(JsonTest, ACutGzipFileFailsAsTheFilesFaultNotARecords) {
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "{\"n\":" + std::to_string(i * 7919 % 100003) + "}\n";
    Gzip(Path("full.jsonl.gz"), text);
    const std::string raw = ReadFile(Path("full.jsonl.gz"));
    WriteFile(Path("cut.jsonl.gz"), raw.substr(0, raw.size() / 2));
    uint32_t status = 0;
    const auto rows = ReadAll("cut.jsonl.gz", {{"Columns", "n:int"}}, nullptr, &status);
    EXPECT_EQ(RDSTATUS_FREETEXT, status);
    EXPECT_LT(rows.size(), 5000u);
}

TEST_F(JsonTest, CreateReplaceEmptyAndDropTheFile) {
    auto c = Open("k.jsonl", {{"Create", "1"}});
    List none(1);
    EXPECT_EQ(0u, json_.RDXCreate(c->Private(), 3, none)) << c->LastError();
    struct stat info {};
    ASSERT_EQ(0, ::stat(Path("k.jsonl").c_str(), &info));
    EXPECT_EQ(0, info.st_size);
    EXPECT_EQ(RDSTATUS_FREETEXT, json_.RDXCreate(c->Private(), 3, none));
    EXPECT_NE(std::string::npos, c->LastError().find("exists")) << c->LastError();
    ASSERT_EQ(0u, InsertRows(*c, {{"n", RDTYPE_INT}}, {{"1"}}));
    EXPECT_EQ(0u, json_.RDXCreate(c->Private(), 0x0F13, none)); // ensure: kept
    EXPECT_EQ("{\"n\":1}\n", ReadFile(Path("k.jsonl")));
    EXPECT_EQ(0u, json_.RDXCreate(c->Private(), 0x0F11, none)); // replace
    EXPECT_EQ("", ReadFile(Path("k.jsonl")));
    ASSERT_EQ(0u, InsertRows(*c, {{"n", RDTYPE_INT}}, {{"2"}}));
    EXPECT_EQ(0u, json_.RDXCreate(c->Private(), 0x0F12, none)); // empty
    EXPECT_EQ("", ReadFile(Path("k.jsonl")));
    EXPECT_EQ(0u, json_.RDXDrop(c->Private(), 3));
    EXPECT_NE(0, ::stat(Path("k.jsonl").c_str(), &info));
    EXPECT_EQ(RDSTATUS_FREETEXT, json_.RDXCreate(c->Private(), 0x0F12, none)); // nothing to empty
    EXPECT_EQ(RDSTATUS_FREETEXT, json_.RDXDrop(c->Private(), 3));
}

// A delimited file copied to JSON Lines and back holds the same records.
TEST_F(JsonTest, CopiesFromADelimitedFileAndBack) {
    const std::string csv =
        "id,amount,when,name\r\n1,10.50,2024-01-02 03:04:05,\"a, \"\"b\"\"\"\r\n"
        "2,,2023-12-31 00:00:00,\r\n3,-0.25,,\"line\nbreak\"\r\n";
    WriteFile(Path("in.csv"), csv);
    Plugin delimited(RDTEST_RDCSV_PATH);
    {
        Connection source(delimited);
        ASSERT_EQ(0u, source.Set("Path", Path("in.csv")));
        ASSERT_EQ(0u, source.Connect());
        auto target = Open("mid.jsonl", {{"Create", "1"}});
        EXPECT_EQ(RDX_END_OF_DATA, Copy(source, *target, 2)) << target->LastError();
    }
    EXPECT_EQ(
        "{\"id\":1,\"amount\":10.50,\"when\":\"2024-01-02 03:04:05\",\"name\":\"a, \\\"b\\\"\"}\n"
        "{\"id\":2,\"amount\":null,\"when\":\"2023-12-31 00:00:00\",\"name\":null}\n"
        "{\"id\":3,\"amount\":-0.25,\"when\":null,\"name\":\"line\\nbreak\"}\n",
        ReadFile(Path("mid.jsonl")));
    {
        auto source = Open("mid.jsonl");
        Connection target(delimited);
        ASSERT_EQ(0u, target.Set("Path", Path("out.csv")));
        ASSERT_EQ(0u, target.Set("Create", "1"));
        ASSERT_EQ(0u, target.Connect());
        EXPECT_EQ(RDX_END_OF_DATA, Copy(*source, target, 2)) << target.LastError();
    }
    EXPECT_EQ(csv, ReadFile(Path("out.csv")));
}

} // namespace
} // namespace connectortest
