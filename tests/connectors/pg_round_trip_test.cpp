// SPDX-License-Identifier: Apache-2.0
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

// An SQLite table into PostgreSQL and back into a new SQLite table: the
// typed values arrive unchanged.
TEST_F(PgTest, SqliteTableThroughPostgresAndBack) {
    Plugin sqlite(RDTEST_RDSQLITE_PATH);
    auto open = [&](const std::string &table, const std::string &sql) {
        auto c = std::make_unique<Connection>(sqlite);
        EXPECT_EQ(0u, c->Set("Database", Path("lite.db")));
        EXPECT_EQ(0u, c->Set("Create", "yes"));
        EXPECT_EQ(0u, c->Set("Table", table));
        EXPECT_EQ(0u, c->Connect()) << c->LastError();
        if (!sql.empty()) {
            EXPECT_EQ(0u, c->Set("SQL", sql));
            uint32_t count = 0;
            EXPECT_EQ(0u, sqlite.RDXExecute(c->Private(), 0, 0, &count)) << c->LastError();
            EXPECT_EQ(0u, c->Set("SQL", ""));
        }
        return c;
    };
    {
        auto lite = open("src", "CREATE TABLE src (id INTEGER, price REAL, amount NUMERIC(20,4), "
                                "at DATETIME, name TEXT, data BLOB);"
                                "INSERT INTO src VALUES (1, 0.5, '1234567890123456.1234', "
                                "'1750-06-30 12:00:00', 'caf\xc3\xa9', x'00ff'), "
                                "(2, NULL, NULL, NULL, '', x''), (3, -1e300, '-0.0001', "
                                "'9999-12-31 23:59:59.99', NULL, NULL)");
        auto pg = OpenPg({{"Table", "mid"}});
        List layout(2);
        ASSERT_EQ(0u, lite->Select(layout, 2)) << lite->LastError();
        ASSERT_EQ(0u, pg_.RDXCreate(pg->Private(), 3, layout)) << pg->LastError();
        ASSERT_EQ(RDX_END_OF_DATA, Copy(*lite, *pg, 2)) << lite->LastError() << pg->LastError();
    }
    {
        auto pg = OpenPg({{"SQL", "SELECT * FROM mid ORDER BY id"}});
        auto lite = open("back", "");
        List layout(2);
        ASSERT_EQ(0u, pg->Select(layout, 2)) << pg->LastError();
        ASSERT_EQ(0u, sqlite.RDXCreate(lite->Private(), 3, layout)) << lite->LastError();
        ASSERT_EQ(RDX_END_OF_DATA, Copy(*pg, *lite, 2)) << pg->LastError() << lite->LastError();
    }
    auto lite = open("src", "");
    ASSERT_EQ(0u, lite->Set("SQL", "SELECT count(*) FROM src s JOIN back b ON s.id = b.id AND "
                                   "s.price IS b.price AND s.amount IS b.amount AND s.at IS b.at "
                                   "AND s.name IS b.name AND s.data IS b.data"));
    List same(1);
    ASSERT_EQ(0u, lite->Select(same, 1)) << lite->LastError();
    uint32_t fetched = 0;
    lite->Fetch(same, 1, 1, &fetched);
    EXPECT_EQ((std::vector<std::string>{"3"}), Rows(same, 1, 1));
}

} // namespace
} // namespace connectortest
