// SPDX-License-Identifier: Apache-2.0
// Reading JSON Lines: fields inferred from the first lines or declared,
// each JSON kind into each field type, missing and unknown keys, and the
// forms of lines a file may hold (BOM, CRLF, blank lines, no last line end).
#include "json_test_env.h"

namespace connectortest {
namespace {

using Props = std::vector<std::pair<std::string, std::string>>;

TEST_F(JsonTest, InfersFieldsInKeyOrderWithTypesOfTheirValues) {
    WriteFile(Path("t.jsonl"),
              "{\"i\":1,\"big\":5000000000,\"dec\":1.25,\"f\":1e3,\"b\":true,\"s\":\"x\","
              "\"d\":\"2024-02-29T10:20:30\",\"o\":{\"a\":[1,2]},\"n\":null}\n"
              "{\"i\":-7,\"big\":-1,\"dec\":10,\"f\":2.5E-1,\"b\":false,\"s\":\"\\u00e9\\n\","
              "\"d\":\"1999-12-31\",\"o\":[true, null],\"n\":null,\"late\":3}\n");
    std::string layout;
    const auto rows = ReadAll("t.jsonl", {}, &layout);
    // int, bigint, numeric, float, bool (int), text, datetime, json (text),
    // null-only (text), a key first seen on line 2.
    EXPECT_EQ("i:1,big:4,dec:4,f:2,b:1,s:6,d:5,o:6,n:6,late:1", layout);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ("1|5000000000|1.25|1000|1|x|2024-02-29 10:20:30|{\"a\":[1,2]}|<null>|<null>",
              rows[0]);
    EXPECT_EQ("-7|-1|10.00|0.25|0|\xC3\xA9\n|1999-12-31|[true, null]|<null>|3", rows[1]);
}

TEST_F(JsonTest, NumbersBeyondADoubleStayExact) {
    WriteFile(Path("n.jsonl"), "{\"x\":123456789012345678901234567890.123456789}\n"
                               "{\"x\":0.1000000000000000000000000001}\n"
                               "{\"y\":99999999999999999999999}\n");
    std::string layout;
    const auto rows = ReadAll("n.jsonl", {}, &layout);
    EXPECT_EQ("x:4,y:4", layout);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ("123456789012345678901234567890.1234567890000000000000000000|<null>", rows[0]);
    EXPECT_EQ("0.1000000000000000000000000001|<null>", rows[1]);
    EXPECT_EQ("<null>|99999999999999999999999", rows[2]);
}

TEST_F(JsonTest, MixedKindsReadAsTheirJsonText) {
    WriteFile(Path("m.jsonl"), "{\"v\":1.50}\n{\"v\":\"a\"}\n{\"v\":true}\n{\"v\":[1]}\n");
    std::string layout;
    EXPECT_EQ((std::vector<std::string>{"1.50", "a", "true", "[1]"}),
              ReadAll("m.jsonl", {}, &layout));
    EXPECT_EQ("v:6", layout);
}

TEST_F(JsonTest, DeclaredFieldsTakeEachKindTheyCanHold) {
    WriteFile(
        Path("d.jsonl"),
        "{\"b\":\"AAEC/w==\",\"n\":\"12.5\",\"i\":true,\"t\":12.50,\"a\":\"2020-01-02 03:04:05\"}\n"
        "{\"t\":{\"k\":\"v\"},\"i\":false,\"n\":-3}\n");
    const Props props{{"Columns", "b:binary, n:numeric(10,2), i:int, t:text, a:datetime"}};
    std::string layout;
    const auto rows = ReadAll("d.jsonl", props, &layout);
    EXPECT_EQ("b:7,n:4,i:1,t:6,a:5", layout);
    EXPECT_EQ((std::vector<std::string>{"000102FF|12.50|1|12.50|2020-01-02 03:04:05",
                                        "<null>|-3.00|0|{\"k\":\"v\"}|<null>"}),
              rows);
}

TEST_F(JsonTest, ValuesThatDoNotFitTheirFieldFailTheirLineOnly) {
    WriteFile(Path("f.jsonl"), "{\"i\":1}\n{\"i\":\"x\"}\n{\"i\":[1]}\n{\"i\":1.5}\n"
                               "{\"i\":99999999999}\n{\"i\":2}\n");
    auto c = Open("f.jsonl", {{"Columns", "i:int"}});
    List list(10);
    ASSERT_EQ(0u, c->Select(list, 10));
    std::vector<std::string> rows;
    std::vector<uint64_t> badLines;
    for (int guard = 0; guard < 20; ++guard) {
        uint32_t fetched = 0;
        const uint32_t status = c->Fetch(list, 1, 10, &fetched);
        for (const auto &row : Rows(list, 1, fetched))
            rows.push_back(row);
        if (status == RDX_END_OF_DATA) break;
        ASSERT_EQ(RDSTATUS_RECORDFAULT, status) << c->LastError();
        badLines.push_back(std::stoull(c->Get("RejectLine")));
        EXPECT_NE(std::string::npos, c->LastError().find("line " + std::to_string(badLines.back())))
            << c->LastError();
        EXPECT_EQ(ReadFile(Path("f.jsonl")).find(c->Get("RejectRecord")) != std::string::npos,
                  true);
    }
    EXPECT_EQ((std::vector<std::string>{"1", "2"}), rows);
    EXPECT_EQ((std::vector<uint64_t>{2, 3, 4, 5}), badLines);
}

TEST_F(JsonTest, InferredTypeThatALaterLineMissesNamesInferRows) {
    WriteFile(Path("l.jsonl"), "{\"v\":1}\n{\"v\":2.5}\n");
    auto c = Open("l.jsonl", {{"InferRows", "1"}});
    List list(4);
    ASSERT_EQ(0u, c->Select(list, 4));
    uint32_t fetched = 0;
    EXPECT_EQ(RDSTATUS_RECORDFAULT, c->Fetch(list, 1, 4, &fetched));
    EXPECT_EQ(1u, fetched);
    EXPECT_NE(std::string::npos, c->LastError().find("InferRows")) << c->LastError();
    // With every line read first, the field is numeric.
    std::string layout;
    EXPECT_EQ((std::vector<std::string>{"1.0", "2.5"}),
              ReadAll("l.jsonl", {{"InferRows", "all"}}, &layout));
}

TEST_F(JsonTest, MissingKeysAreNullAndUnknownKeysIgnoredOrRejected) {
    WriteFile(Path("k.jsonl"), "{\"a\":1}\n{\"b\":\"x\",\"zz\":0}\n{}\n");
    EXPECT_EQ((std::vector<std::string>{"1|<null>", "<null>|x", "<null>|<null>"}),
              ReadAll("k.jsonl", {{"Columns", "a:int,b:text"}}));
    uint32_t status = 0;
    const auto rows = ReadAll("k.jsonl", {{"Columns", "a:int,b:text"}, {"UnknownKeys", "reject"}},
                              nullptr, &status);
    EXPECT_EQ(RDSTATUS_RECORDFAULT, status);
    EXPECT_EQ((std::vector<std::string>{"1|<null>"}), rows);
}

// With UnknownKeys keep, the keys of no field make one JSON object in the
// extra field (last), members as the line has them; written back through
// a link that keeps them too, they become members of the line again.
TEST_F(JsonTest, UnknownKeysAreKeptAsOneObjectAndWrittenBackAsMembers) {
    WriteFile(Path("k.jsonl"),
              "{\"id\":1,\"x\":{\"n\":[1, 2]},\"a\":\"p\",\"s\":\"q\\u00e9\"}\n"
              "{\"a\":\"r\",\"id\":2}\n"
              "{\"id\":3,\"z\":1,\"z\":2}\n"
              "{\"id\":4,\"_extra\":null,\"big\":123456789012345678901234567890}\n");
    const std::vector<std::pair<std::string, std::string>> keep = {{"Columns", "id:int,a:text"},
                                                                   {"UnknownKeys", "keep"}};
    uint32_t status = 0;
    std::string layout;
    auto rows = ReadAll("k.jsonl", keep, &layout, &status);
    EXPECT_EQ(RDSTATUS_RECORDFAULT, status); // line 3: the key z twice
    EXPECT_EQ(
        (std::vector<std::string>{"1|p|{\"x\":{\"n\":[1, 2]},\"s\":\"q\\u00e9\"}", "2|r|<null>"}),
        rows);
    EXPECT_NE(std::string::npos, layout.find("_extra")) << layout;
    // The extra field may not be one of the file's.
    auto clash = Open("k.jsonl", {{"Columns", "id:int,_extra:text"}, {"UnknownKeys", "keep"}});
    List list(4);
    EXPECT_EQ(RDSTATUS_FREETEXT, clash->Select(list, 4));
    EXPECT_NE(std::string::npos, clash->LastError().find("ExtraField")) << clash->LastError();

    // Read and written back with the extra field named otherwise.
    WriteFile(Path("in.jsonl"),
              "{\"id\":1,\"x\":{\"n\":[1, 2]},\"a\":\"p\"}\n{\"id\":2,\"a\":\"r\"}\n");
    auto in = Open("in.jsonl",
                   {{"Columns", "id:int,a:text"}, {"UnknownKeys", "keep"}, {"ExtraField", "more"}});
    List records(4);
    ASSERT_EQ(0u, in->Select(records, 4));
    uint32_t fetched = 0;
    ASSERT_EQ(RDX_END_OF_DATA, in->Fetch(records, 1, 4, &fetched));
    ASSERT_EQ(2u, fetched);
    auto out =
        Open("out.jsonl", {{"Create", "1"}, {"UnknownKeys", "keep"}, {"ExtraField", "more"}});
    uint32_t done = 0;
    ASSERT_EQ(0u, out->Insert(records, 1, 2, &done)) << out->LastError();
    EXPECT_EQ("{\"id\":1,\"a\":\"p\",\"x\":{\"n\":[1, 2]}}\n{\"id\":2,\"a\":\"r\"}\n",
              ReadFile(Path("out.jsonl")));
}

// What the extra field holds must make members of one line: an object
// (pretty-printed ones too) whose keys are no field's and come once.
TEST_F(JsonTest, TheExtraFieldWritesOnlyAnObjectOfNewKeys) {
    auto out = Open("x.jsonl", {{"Create", "1"}, {"UnknownKeys", "keep"}});
    const std::vector<std::pair<std::string, uint32_t>> fields = {{"id", RDTYPE_INT},
                                                                  {"_extra", RDTYPE_TEXT}};
    ASSERT_EQ(0u, InsertRows(*out, fields, {{"1", "{\n  \"a\": [1,\r\n 2]\n}"}, {"2", "{}"}}))
        << out->LastError();
    EXPECT_EQ("{\"id\":1,   \"a\": [1,   2] }\n{\"id\":2}\n", ReadFile(Path("x.jsonl")));
    for (const std::string bad : {"[1]", "{\"id\":5}", "{\"a\":1,\"a\":2}", "{\"a\":"}) {
        EXPECT_EQ(RDSTATUS_RECORDFAULT, InsertRows(*out, fields, {{"3", bad}})) << bad;
    }
    EXPECT_EQ(2u, ReadAll("x.jsonl", {}).size());
}

TEST_F(JsonTest, KeysInAnyOrderAndEscapedKeysFindTheirFields) {
    WriteFile(Path("o.jsonl"), "{\"a\":1,\"b\":2}\n{\"b\":3,\"a\":4}\n{\"\\u0062\":5}\n");
    EXPECT_EQ((std::vector<std::string>{"1|2", "4|3", "<null>|5"}), ReadAll("o.jsonl", {}));
}

TEST_F(JsonTest, BomCrlfBlankLinesAndAnUnendedLastLine) {
    WriteFile(Path("f.jsonl"), "\xEF\xBB\xBF{\"a\":1}\r\n\r\n   \n \t{\"a\":2} \t\r\n\n{\"a\":3}");
    EXPECT_EQ((std::vector<std::string>{"1", "2", "3"}), ReadAll("f.jsonl", {}));
    // A cut last line is a bad record that says the file may be cut short.
    WriteFile(Path("cut.jsonl"), "{\"a\":1}\n{\"a\":2}\n{\"a\":");
    auto c = Open("cut.jsonl", {{"Columns", "a:int"}});
    List list(4);
    ASSERT_EQ(0u, c->Select(list, 4));
    uint32_t fetched = 0;
    EXPECT_EQ(RDSTATUS_RECORDFAULT, c->Fetch(list, 1, 4, &fetched));
    EXPECT_EQ(2u, fetched);
    EXPECT_NE(std::string::npos, c->LastError().find("line 3")) << c->LastError();
    EXPECT_NE(std::string::npos, c->LastError().find("cut short")) << c->LastError();
    EXPECT_EQ(RDX_END_OF_DATA, c->Fetch(list, 1, 4, &fetched));
}

TEST_F(JsonTest, AnEmptyFileWithoutDeclaredFieldsFailsItsSelect) {
    WriteFile(Path("e.jsonl"), "\n\n");
    auto c = Open("e.jsonl");
    List list(4);
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Select(list, 4));
    EXPECT_NE(std::string::npos, c->LastError().find("Columns")) << c->LastError();
    // Declared, it has no records.
    auto d = Open("e.jsonl", {{"Columns", "a:int"}});
    List list2(4);
    ASSERT_EQ(0u, d->Select(list2, 4));
    uint32_t fetched = 9;
    EXPECT_EQ(RDX_END_OF_DATA, d->Fetch(list2, 1, 4, &fetched));
    EXPECT_EQ(0u, fetched);
}

TEST_F(JsonTest, BadPropertiesAreRefused) {
    Connection c(json_);
    EXPECT_EQ(RDSTATUS_FREETEXT, c.Set("Columns", "a:int,b"));
    EXPECT_EQ(RDSTATUS_FREETEXT, c.Set("Columns", "a:int,a:text"));
    EXPECT_EQ(RDSTATUS_FREETEXT, c.Set("Columns", "a:nosuchtype"));
    EXPECT_EQ(RDSTATUS_FREETEXT, c.Set("UnknownKeys", "maybe"));
    EXPECT_EQ(RDSTATUS_FREETEXT, c.Set("Compression", "zip"));
    EXPECT_EQ(RDSTATUS_FREETEXT, c.Set("InferRows", "-2"));
    EXPECT_EQ(RDSTATUS_FREETEXT, c.Set("ReadPosition", "offset=1"));
    EXPECT_EQ(RDSTATUS_FREETEXT, c.SetInt("MaxLineBytes", 1));
    EXPECT_EQ(RDSTATUS_FREETEXT, c.Connect()); // no Path
    EXPECT_EQ(0u, c.Set("Path", Path("missing.jsonl")));
    EXPECT_EQ(RDSTATUS_FREETEXT, c.Connect());
    EXPECT_NE(std::string::npos, c.LastError().find("cannot be found")) << c.LastError();
}

TEST_F(JsonTest, CatalogNamesTheFieldsAndTheirTypes) {
    WriteFile(Path("c.jsonl"),
              "{\"id\":1,\"ok\":false,\"tags\":[\"a\"],\"when\":\"2020-01-01\"}\n");
    auto c = Open("c.jsonl");
    List list(8);
    uint32_t count = 0;
    ASSERT_EQ(0u, json_.RDXCatalog(c->Private(), 3, list, &count)) << c->LastError();
    ASSERT_EQ(4u, count);
    EXPECT_EQ((std::vector<std::string>{"id|int", "ok|bool", "tags|json", "when|datetime"}),
              Rows(list, 1, 4));
}

// A select set to the ReadPosition read after some records goes on with the
// next one, in a plain file and in a compressed one.
TEST_F(JsonTest, ReadPositionResumesAfterTheLastRecordRead) {
    std::string text = "\xEF\xBB\xBF";
    for (int i = 1; i <= 9; ++i)
        text += "{\"n\":" + std::to_string(i) + "}\n" + (i == 4 ? "\n" : "");
    text.pop_back(); // no line end after the last
    WriteFile(Path("p.jsonl"), text);
    Gzip(Path("p.jsonl.gz"), text);
    for (const std::string name : {"p.jsonl", "p.jsonl.gz"}) {
        SCOPED_TRACE(name);
        std::string position;
        {
            auto c = Open(name);
            List list(4);
            ASSERT_EQ(0u, c->Select(list, 4));
            uint32_t fetched = 0;
            ASSERT_EQ(0u, c->Fetch(list, 1, 4, &fetched));
            position = c->Get("ReadPosition");
        }
        EXPECT_EQ("offset=35;line=5", position);
        auto c = Open(name, {{"ReadPosition", position}});
        List list(10);
        ASSERT_EQ(0u, c->Select(list, 10));
        std::vector<std::string> rows;
        KitFetchAll(*c, list, rows);
        EXPECT_EQ((std::vector<std::string>{"5", "6", "7", "8", "9"}), rows);
        const std::string end = c->Get("ReadPosition");
        auto e = Open(name, {{"ReadPosition", end}});
        ASSERT_EQ(0u, e->Select(list, 10)) << e->LastError();
        uint32_t fetched = 9;
        EXPECT_EQ(RDX_END_OF_DATA, e->Fetch(list, 1, 10, &fetched));
        // Inside a line, or beyond the end: refused.
        for (const std::string bad : {"offset=40;line=5", "offset=1000;line=5"}) {
            auto b = Open(name, {{"ReadPosition", bad}});
            EXPECT_EQ(RDSTATUS_FREETEXT, b->Select(list, 10)) << bad;
        }
    }
}

} // namespace
} // namespace connectortest
