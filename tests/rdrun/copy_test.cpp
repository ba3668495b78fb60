// SPDX-License-Identifier: Apache-2.0
// Copies that succeed: every record arrives with its values, both ways, and
// for batches that end exactly at and one past the last record.
#include "run_test_env.h"

namespace rdruntest {
namespace {

// The customer texts of the generator, by order number modulo 10.
constexpr const char *kCustomers[10] = {
    "Müller & Söhne", "Łódź Trading",      "\"Big\" Deals, Inc.", "Café Olé",   "Ørsted, Åse",
    "Plain Goods",    "São Paulo Imports", "Zoë, Chloë & Noël",   "Gröna Lund", "Straße 7"};

TEST_F(RunTest, CsvToSqliteDeliversEveryRecordWithItsValues) {
    constexpr unsigned kOrders = 2500;
    MakeOrders(Path("orders.csv"), kOrders);
    Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + SqliteLink("db", Path("o.db")) +
           CopyActivity("load", {"csv", "db", "orders", "", 300, "stop"}));
    const Ran ran = Rdrun("load");
    ASSERT_EQ(0, ran.status) << ran.out << ran.err;
    EXPECT_NE(std::string::npos, ran.out.find("Ended successfully: 2,500 records written."))
        << ran.out;
    EXPECT_NE(std::string::npos, ran.out.find("fetch 2,500 insert 2,500")) << ran.out;

    Db db(Path("o.db"));
    EXPECT_EQ("2500|1|2500|" + std::to_string(OrderCents(kOrders)) + "\n",
              db.Query("SELECT count(*), min(id), max(id), "
                       "sum(CAST(round(amount * 100) AS INTEGER)) FROM orders"));
    // Every text arrived: ten distinct customers, each on the orders the
    // generator gave it.
    std::string expected;
    for (int i = 0; i < 10; ++i)
        expected += std::to_string(i) + "|" + kCustomers[i] + "|250\n";
    EXPECT_EQ(expected, db.Query("SELECT id % 10, customer, count(*) FROM orders "
                                 "GROUP BY 1, 2 ORDER BY 1"));
    // Order 1234: cents (1234 * 7919) % 1000000 = 772046, day 1 + 1234 % 28,
    // month 1 + 44 % 12, 10:58:22.
    EXPECT_EQ("1234|7720.46|2026-09-03 10:58:22|Ørsted, Åse\n",
              db.Query("SELECT id, printf('%.2f', amount), ordered_at, customer FROM orders "
                       "WHERE id = 1234"));
    EXPECT_EQ("id|INTEGER\namount|NUMERIC(12,2)\nordered_at|DATETIME\ncustomer|TEXT\n",
              db.Query("SELECT name, type FROM pragma_table_info('orders')"));
    // The log counts what was copied.
    EXPECT_NE(std::string::npos, Log("load").find("2,500 records written.")) << Log("load");
}

TEST_F(RunTest, SqliteToCsvWritesEveryShapeOfText) {
    {
        Db db(Path("src.db"));
        db.Exec("CREATE TABLE items(id INTEGER, price NUMERIC(8,2), note TEXT);"
                "INSERT INTO items VALUES(1, 1.50, 'plain'), (2, -0.25, 'a, comma'),"
                "(3, 1000, 'say \"hi\"'), (4, 0, 'two' || char(10) || 'lines'),"
                "(5, 12.34, 'ünïcødé ✓'), (6, 7, '')");
    }
    Define(SqliteLink("db", Path("src.db")) + CsvLink("csv", Path("items.csv"), "", true) +
           CopyActivity("dump", {"db", "csv", "", "SELECT id, price, note FROM items ORDER BY id",
                                 4, "stop"}));
    const Ran ran = Rdrun("dump");
    ASSERT_EQ(0, ran.status) << ran.out << ran.err;
    // SQLite keeps 1.50 as 1.5 and 1000 as an integer; the prices come
    // with the scale of their NUMERIC(8,2). An empty text is quoted, so
    // that it differs from a missing value.
    EXPECT_EQ("id,price,note\r\n"
              "1,1.50,plain\r\n"
              "2,-0.25,\"a, comma\"\r\n"
              "3,1000.00,\"say \"\"hi\"\"\"\r\n"
              "4,0.00,\"two\nlines\"\r\n"
              "5,12.34,ünïcødé ✓\r\n"
              "6,7.00,\"\"\r\n",
              rdtest::ReadFile(Path("items.csv")));
}

// Batches ending exactly at the last record, one past it, and one short.
TEST_F(RunTest, BatchesEndingAtAndPastTheLastRecord) {
    const struct Case {
        unsigned records, batch;
    } cases[] = {{10, 10}, {10, 5}, {11, 5}, {10, 11}, {9, 10}, {1, 1}, {3, 1}, {0, 4}};
    std::string toml;
    for (const Case &c : cases) {
        const std::string name = "r" + std::to_string(c.records) + "b" + std::to_string(c.batch);
        MakeOrders(Path(name + ".csv"), c.records);
        toml += CsvLink(name + "_csv", Path(name + ".csv"), kOrderColumns) +
                SqliteLink(name + "_db", Path(name + ".db")) +
                CopyActivity(name, {name + "_csv", name + "_db", "orders", "", c.batch, "stop"});
    }
    Define(toml);
    for (const Case &c : cases) {
        const std::string name = "r" + std::to_string(c.records) + "b" + std::to_string(c.batch);
        const Ran ran = Rdrun(name);
        EXPECT_EQ(0, ran.status) << name << ran.out << ran.err;
        Db db(Path(name + ".db"));
        EXPECT_EQ(std::to_string(c.records) + "|" + std::to_string(OrderCents(c.records)) + "\n",
                  db.Query("SELECT count(DISTINCT id), "
                           "coalesce(sum(CAST(round(amount * 100) AS INTEGER)), 0) FROM orders"))
            << name;
    }
}

} // namespace
} // namespace rdruntest
