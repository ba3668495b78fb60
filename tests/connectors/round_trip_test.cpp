// SPDX-License-Identifier: Apache-2.0
// A delimited file copied into an SQLite table made from its layout, and the
// table copied back into a new file: the bytes come back unchanged.
#include "sqlite_test_env.h"

namespace connectortest {
namespace {

// Every RFC 4180 shape (quoted delimiters, doubled quotes, line breaks in
// quotes, empty text against null) beside typed columns in their text forms.
std::string SampleFile(const std::string &eol, int records) {
    std::string file = "id,amount,when,note" + eol;
    const char *notes[] = {"plain",
                           "\"with, comma\"",
                           "\"say \"\"hi\"\"\"",
                           "\"two"
                           "\n"
                           "lines\"",
                           "\"\"",
                           "",
                           "gr\xC3\xBC\xC3\x9F"
                           "e \xE2\x9C\x93",
                           "\" padded \""};
    for (int i = 1; i <= records; ++i) {
        const std::string amount =
            std::to_string(i * 7 % 1000) + "." + std::to_string(i % 10) + "5";
        const std::string when = i % 5 == 0 ? ""
                                            : "2024-0" + std::to_string(i % 9 + 1) + "-1" +
                                                  std::to_string(i % 10) + " 0" +
                                                  std::to_string(i % 10) + ":30:15";
        file += std::to_string(i) + "," + (i % 6 == 0 ? "-" : "") + amount + "," + when + "," +
                notes[i % 8] + eol;
    }
    return file;
}

TEST_F(SqliteTest, DelimitedFileThroughSqliteAndBackByteForByte) {
    for (const std::string eol : {"\n", "\r\n"}) {
        const std::string file = SampleFile(eol, 23);
        WriteFile(Path("in.csv"), file);
        std::remove(Path("test.db").c_str());
        std::remove(Path("out.csv").c_str());
        {
            auto in = Open("in.csv");
            auto db = OpenDb({{"Create", "yes"}, {"Table", "orders"}});
            List layout(5);
            ASSERT_EQ(0u, in->Select(layout, 5));
            EXPECT_EQ("id:1,amount:4,when:5,note:6", Layout(layout));
            ASSERT_EQ(0u, sqlite_.RDXCreate(db->Private(), 3, layout)) << db->LastError();
            // Batches of 5 over 23 records: the last holds 3.
            ASSERT_EQ(RDX_END_OF_DATA, Copy(*in, *db, 5)) << in->LastError() << db->LastError();
        }
        EXPECT_EQ("23", Query("SELECT count(*) FROM orders"));
        EXPECT_EQ("integer real text", Query("SELECT typeof(id)||' '||typeof(amount)||' '||"
                                             "typeof(\"when\") FROM orders WHERE id = 1"));
        EXPECT_EQ("'' NULL NULL",
                  Query("SELECT (SELECT quote(note) FROM orders WHERE id = 4)||' '||"
                        "quote(note)||' '||quote(\"when\") FROM orders WHERE id = 5"));
        {
            auto db = OpenDb({{"SQL", "SELECT * FROM orders ORDER BY id"}});
            auto out =
                Open("out.csv", {{"Create", "yes"}, {"LineEnd", eol == "\n" ? "LF" : "CRLF"}});
            ASSERT_EQ(RDX_END_OF_DATA, Copy(*db, *out, 4)) << db->LastError() << out->LastError();
        }
        EXPECT_EQ(file, ReadFile(Path("out.csv")));
    }
}

} // namespace
} // namespace connectortest
