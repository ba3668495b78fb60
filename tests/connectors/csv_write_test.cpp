// SPDX-License-Identifier: Apache-2.0
// Writing delimited files: appends, new files with a header, the file's
// character set, and a write that fails part way.
#include "csv_test_env.h"

#include <csignal>
#include <sys/resource.h>

namespace connectortest {
namespace {

const std::vector<std::pair<std::string, uint32_t>> kFields = {{"id", RDTYPE_INT},
                                                               {"amount", RDTYPE_NUMERIC},
                                                               {"when", RDTYPE_DATETIME},
                                                               {"name", RDTYPE_TEXT}};

TEST_F(CsvTest, InsertWritesTypedValuesInTheirTextForms) {
    List list(3);
    Fill(list, kFields,
         {{"1", "12.5", "<null>", "a,b"},
          {"-2", "0.001", "<null>", ""},
          {"<null>", "-3", "<null>", "<null>"}});
    // The date-time is made from its parts (the library reads texts by locale).
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(list, 3, 256, &field, nullptr));
    RDDatetimeParts parts{2024, 2, 29, -1, 13, 45, 7, 0, 0, 0};
    RDDatetime when{};
    ASSERT_EQ(0u, RDDatetimeSetParts(&when, &parts, 0));
    ASSERT_EQ(0u, RDFieldSetDatetime(field, 1, &when));

    auto out = Open("new.csv", {{"Create", "yes"}, {"LineEnd", "LF"}});
    uint32_t done = 0;
    ASSERT_EQ(0u, out->Insert(list, 1, 3, &done)) << out->LastError();
    EXPECT_EQ(3u, done);
    ASSERT_EQ(0u, out->Insert(list, 2, 1, &done));
    EXPECT_EQ("id,amount,when,name\n"
              "1,12.5,2024-02-29 13:45:07,\"a,b\"\n"
              "-2,0.001,,\"\"\n"
              ",-3,,\n"
              "-2,0.001,,\"\"\n",
              ReadFile(Path("new.csv")));
}

// A text is quoted when a delimiter, quote or line end stands anywhere in
// it (at every place of texts longer and shorter than eight bytes), and
// only then.
TEST_F(CsvTest, TextsAreQuotedWhereverTheirSpecialBytesStand) {
    std::vector<std::vector<std::string>> rows;
    std::string expected = "name\n";
    for (size_t length = 1; length <= 19; ++length)
        for (size_t at = 0; at <= length; ++at)
            for (const char special : {',', '"', '\n', '\r', 'x'}) {
                if (at == length && special != 'x') continue;
                std::string text(length, 'a');
                if (at < length) text[at] = special;
                rows.push_back({text});
                const bool quoted = text.find_first_of(",\"\n\r") != std::string::npos;
                std::string doubled;
                for (const char c : text)
                    doubled += c == '"' ? std::string("\"\"") : std::string(1, c);
                expected += quoted ? "\"" + doubled + "\"\n" : text + "\n";
            }
    List list(static_cast<uint32_t>(rows.size()));
    Fill(list, {{"name", RDTYPE_TEXT}}, rows);
    auto out = Open("quoted.csv", {{"Create", "yes"}, {"LineEnd", "LF"}});
    uint32_t done = 0;
    ASSERT_EQ(0u, out->Insert(list, 1, static_cast<uint32_t>(rows.size()), &done))
        << out->LastError();
    EXPECT_EQ(expected, ReadFile(Path("quoted.csv")));
}

// Appending follows the file's own line end, and ends a last line that has
// none before the first new record.
TEST_F(CsvTest, InsertAppendsInTheFilesOwnLineEnds) {
    struct Case {
        std::string before, after;
    };
    const Case cases[] = {
        {"id,name\n1,a", "id,name\n1,a\n7,x\n"},
        {"id,name\r\n1,a\r\n", "id,name\r\n1,a\r\n7,x\r\n"},
        {"", "id,name\r\n7,x\r\n"},
    };
    for (const Case &c : cases) {
        WriteFile(Path("a.csv"), c.before);
        auto out = Open("a.csv");
        List list(1);
        Fill(list, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}}, {{"7", "x"}});
        uint32_t done = 0;
        ASSERT_EQ(0u, out->Insert(list, 1, 1, &done));
        EXPECT_EQ(c.after, ReadFile(Path("a.csv")));
    }
}

TEST_F(CsvTest, CreateWritesTheHeaderOnceAndDropRemovesTheFile) {
    List list(1);
    Fill(list, {{"id", RDTYPE_INT}, {"a \"b\"", RDTYPE_TEXT}}, {});
    auto out = Open("made.csv", {{"Create", "yes"}});
    ASSERT_EQ(0u, csv_.RDXCreate(out->Private(), 3, list)) << out->LastError();
    EXPECT_EQ("id,\"a \"\"b\"\"\"\r\n", ReadFile(Path("made.csv")));
    EXPECT_EQ(RDSTATUS_FREETEXT, csv_.RDXCreate(out->Private(), 3, list));
    EXPECT_NE(std::string::npos, out->LastError().find("exists already"));
    EXPECT_EQ(RDSTATUS_BADPATTERN, csv_.RDXCreate(out->Private(), 4, list));
    ASSERT_EQ(0u, csv_.RDXDrop(out->Private(), 3));
    EXPECT_NE(0, access(Path("made.csv").c_str(), F_OK));
    EXPECT_EQ(RDSTATUS_FREETEXT, csv_.RDXDrop(out->Private(), 3));
}

TEST_F(CsvTest, CatalogListsTheColumnsAndTheirTypes) {
    WriteFile(Path("c.csv"), "id,when,name\n1,2020-01-01,x\n");
    auto in = Open("c.csv");
    List list(10);
    uint32_t count = 0;
    ASSERT_EQ(0u, csv_.RDXCatalog(in->Private(), 3, list, &count));
    EXPECT_EQ(3u, count);
    EXPECT_EQ((std::vector<std::string>{"id|int", "when|datetime", "name|text"}), Rows(list, 1, 3));
}

// Texts are read into the library and written back in the file's set; a
// character that the set cannot hold fails the batch instead of becoming
// a substitute.
TEST_F(CsvTest, TheFilesCharacterSet) {
    const std::string latin1 = "name\n\xE4pfel\n";
    WriteFile(Path("l1.csv"), latin1);
    auto in = Open("l1.csv", {{"Charset", "latin1"}});
    auto out = Open("l1out.csv", {{"Charset", "28591"}, {"Create", "yes"}, {"LineEnd", "LF"}});
    List list(4);
    ASSERT_EQ(0u, in->Select(list, 4));
    uint32_t fetched = 0, done = 0;
    EXPECT_EQ(RDX_END_OF_DATA, in->Fetch(list, 1, 4, &fetched));
    EXPECT_EQ((std::vector<std::string>{"\xC3\xA4pfel"}), Rows(list, 1, fetched));
    ASSERT_EQ(0u, out->Insert(list, 1, 1, &done));
    EXPECT_EQ(latin1, ReadFile(Path("l1out.csv")));

    List check(1);
    Fill(check, {{"name", RDTYPE_TEXT}}, {{"ok \xE2\x9C\x93"}});
    EXPECT_EQ(RDSTATUS_RECORDFAULT, out->Insert(check, 1, 1, &done));
    EXPECT_EQ(0u, done);
    EXPECT_NE(std::string::npos, out->LastError().find("cannot hold")) << out->LastError();
    EXPECT_EQ(latin1, ReadFile(Path("l1out.csv")));

    // Bytes that the set does not define fail their line.
    WriteFile(Path("ascii.csv"), "name\nok\n\xE4pfel\n");
    auto ascii = Open("ascii.csv", {{"Charset", "ascii"}});
    ASSERT_EQ(0u, ascii->Select(list, 4));
    EXPECT_EQ(RDSTATUS_RECORDFAULT, ascii->Fetch(list, 1, 4, &fetched));
    EXPECT_EQ(1u, fetched);
    EXPECT_NE(std::string::npos,
              ascii->LastError().find("line 3 of " + Path("ascii.csv") +
                                      ": field 1 (name) holds bytes that are not valid in "
                                      "character set ascii (20127)"))
        << ascii->LastError();
}

// The file size limit stops the write part way: the batch is taken back
// and reported as not written.
TEST_F(CsvTest, AFailedWriteLeavesNoPartOfTheBatch) {
    WriteFile(Path("full.csv"), "id,name\n1,a\n");
    auto out = Open("full.csv");
    List list(200);
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 200; ++i)
        rows.push_back({std::to_string(i), std::string(40, 'x')});
    Fill(list, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}}, rows);

    rlimit old{};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    uint32_t done = 7;
    const uint32_t status = out->Insert(list, 1, 200, &done);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(RDSTATUS_FREETEXT, status);
    EXPECT_EQ(0u, done);
    EXPECT_NE(std::string::npos, out->LastError().find("no record of the batch was written"))
        << out->LastError();
    EXPECT_EQ("id,name\n1,a\n", ReadFile(Path("full.csv")));
}

} // namespace
} // namespace connectortest
