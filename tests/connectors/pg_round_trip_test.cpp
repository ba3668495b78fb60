// A delimited file copied into a PostgreSQL table made from its layout and
// back into a new file: the bytes come back unchanged.
#include "pg_test_env.h"

namespace connectortest {
namespace {

std::string Orders(int records) {
    std::string file = "id,amount,when,note\r\n";
    const char *notes[] = {"plain",
                           "\"with, comma\"",
                           "\"say \"\"hi\"\"\"",
                           "\"two\nlines\"",
                           "\"\"",
                           "",
                           "gr\xC3\xBC\xC3\x9F"
                           "e \xE2\x9C\x93 \xF0\x9F\x98\x80"};
    for (int i = 1; i <= records; ++i) {
        const std::string amount = std::to_string(i * 7919 % 100000) + "." +
                                   std::to_string(i % 10) + std::to_string(i % 7 + 1);
        const std::string when =
            i % 5 == 0 ? ""
            : i % 3 == 0
                ? "1700-02-2" + std::to_string(i % 9) + " 23:59:59.9" + std::to_string(i % 10)
                : "9100-0" + std::to_string(i % 9 + 1) + "-1" + std::to_string(i % 10) + " 0" +
                      std::to_string(i % 10) + ":30:15";
        file += std::to_string(i) + "," + (i % 6 == 0 ? "-" : "") + amount + "," + when + "," +
                notes[i % 7] + "\r\n";
    }
    return file;
}

TEST_F(PgTest, DelimitedFileThroughPostgresAndBackByteForByte) {
    const std::string file = Orders(23);
    WriteFile(Path("in.csv"), file);
    {
        auto in = Open("in.csv", {{"Columns", "int,numeric(12,2),datetime,text"}});
        auto db = OpenPg({{"Table", "orders"}});
        List layout(5);
        ASSERT_EQ(0u, in->Select(layout, 5));
        ASSERT_EQ(0u, pg_.RDXCreate(db->Private(), 3, layout)) << db->LastError();
        // Batches of 5 over 23 records: the last holds 3.
        ASSERT_EQ(RDX_END_OF_DATA, Copy(*in, *db, 5)) << in->LastError() << db->LastError();
    }
    EXPECT_EQ((std::vector<std::string>{"23|<null>|"}),
              Sql("SELECT count(*), min(\"when\") FILTER (WHERE id = 5), min(note) FILTER "
                  "(WHERE id = 4) FROM orders"));
    {
        auto db = OpenPg({{"SQL", "SELECT * FROM orders ORDER BY id"}});
        auto out = Open("out.csv", {{"Create", "yes"}, {"LineEnd", "CRLF"}});
        ASSERT_EQ(RDX_END_OF_DATA, Copy(*db, *out, 4)) << db->LastError() << out->LastError();
    }
    EXPECT_EQ(file, ReadFile(Path("out.csv")));
}

} // namespace
} // namespace connectortest
