// SPDX-License-Identifier: Apache-2.0
// MariaDB in copies run by rdrun: a load killed again and again and
// resumed keeps every record once, and orders go CSV -> MariaDB -> JSON
// Lines -> PostgreSQL -> CSV with every value as it was.
#include "../rdrun/run_test_env.h"
#include "maria_server.h"
#include "pg_cluster.h"

#include <unistd.h>

namespace rdruntest {
namespace {

using rdtest::MariaServer;

class MysqlRunTest : public RunTest {
  protected:
    void SetUp() override {
        RunTest::SetUp();
        if (const std::string &failure = MariaServer::Start(); !failure.empty())
            GTEST_SKIP() << "no MariaDB server can be started: " << failure;
        rdtest::MariaSql(std::string("DROP DATABASE ") + MariaServer::kDatabase +
                         "; CREATE DATABASE " + MariaServer::kDatabase);
        ASSERT_EQ(0, symlink(RDTEST_RDMYSQL_PATH, Path("rdmysql.rdx").c_str()));
        ASSERT_EQ(0, symlink(RDTEST_RDJSON_PATH, Path("rdjson.rdx").c_str()));
    }
    static std::string MariaLink(const std::string &name) {
        return "[link." + name + "]\nconnector = \"rdmysql\"\nSocket = \"" + MariaServer::Socket() +
               "\"\nUser = \"" + MariaServer::kUser + "\"\nPassword = \"" + MariaServer::kPassword +
               "\"\nDatabase = \"" + MariaServer::kDatabase + "\"\n";
    }
    static std::string Maria(const std::string &sql) {
        const std::vector<std::string> rows = rdtest::MariaSql(sql);
        return rows.empty() ? std::string() : rows[0];
    }
};

TEST_F(MysqlRunTest, KilledLoadsResumeToEveryRecordOnce) {
    constexpr unsigned kOrders = 300000;
    MakeOrders(Path("orders.csv"), kOrders);
    Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + MariaLink("maria") +
           CopyActivity("load", {"csv", "maria", "orders", "", 500, "stop"}));
    const int killed = KillLoop("--resume --no-progress load", 6, 150, [] {
        return Maria("SELECT count(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                     "DATABASE() AND TABLE_NAME = 'orders'") == "1" &&
               Maria("SELECT count(*) FROM orders") == std::to_string(kOrders);
    });
    const Ran last = Rdrun("--resume --no-progress load");
    EXPECT_EQ(0, last.status) << last.out << last.err;
    EXPECT_EQ(std::to_string(kOrders) + "|" + std::to_string(kOrders) + "|" +
                  std::to_string(OrderCents(kOrders)),
              Maria("SELECT count(*), count(DISTINCT id), CAST(sum(amount) * 100 AS SIGNED) "
                    "FROM orders"));
    EXPECT_GT(killed, 0);
}

// Generated orders and some of the hardest values (64-bit and negative
// ids, negative and large amounts, old date-times, quotes, a line break,
// non-ASCII letters and an emoji) through every store and back.
TEST_F(MysqlRunTest, OrdersKeepEveryValueThroughEveryStore) {
    if (const std::string &failure = rdtest::PgCluster::Start(); !failure.empty())
        GTEST_SKIP() << "no PostgreSQL cluster can be started: " << failure;
    rdtest::PgSql("DROP TABLE IF EXISTS orders");
    constexpr unsigned kOrders = 3000;
    MakeOrders(Path("orders.csv"), kOrders);
    const std::string hard = "-42,99999999999.99,1969-07-20 20:17:40,\" leading space\"\n"
                             "5000000000,-12.50,1899-12-31 23:59:59,\"line\nbreak \"\"quoted\"\" "
                             "\xF0\x9F\x98\x80\"\n"
                             "9223372036854775807,-0.01,1900-01-01 00:00:00.25,"
                             "\"\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1, \xC3\xB1\"\n";
    rdtest::WriteFile(Path("orders.csv"), rdtest::ReadFile(Path("orders.csv")) + hard);
    const std::string columns = "id:bigint,amount:numeric(14,2),ordered_at:datetime,customer:text";
    const std::string pg = "[link.pg]\nconnector = \"rdpg\"\nHost = \"" +
                           rdtest::PgCluster::Socket() + "\"\nPort = \"" +
                           rdtest::PgCluster::Port() +
                           "\"\nUser = \"postgres\"\nDatabase = " + "\"postgres\"\n";
    Define(CsvLink("csv", Path("orders.csv"), columns) + MariaLink("maria") +
           "[link.json]\nconnector = \"rdjson\"\nPath = \"" + Path("orders.jsonl") +
           "\"\nCreate = 1\nColumns = \"" + columns + "\"\n" + pg +
           CsvLink("back", Path("back.csv"), "", true) + SqliteLink("first", Path("first.db")) +
           SqliteLink("last", Path("last.db")) +
           CopyActivity("to_maria", {"csv", "maria", "orders", "", 700, "stop"}) +
           CopyActivity("to_json",
                        {"maria", "json", "", "SELECT * FROM orders ORDER BY id", 700, "stop"}) +
           CopyActivity("to_pg", {"json", "pg", "orders", "", 700, "stop"}) +
           CopyActivity("to_csv",
                        {"pg", "back", "", "SELECT * FROM orders ORDER BY id", 700, "stop"}) +
           CopyActivity("first_db", {"csv", "first", "orders", "", 700, "stop"}) +
           "[link.back_in]\nconnector = \"rdcsv\"\nPath = \"" + Path("back.csv") +
           "\"\nColumns = \"" + columns + "\"\n" +
           CopyActivity("last_db", {"back_in", "last", "orders", "", 700, "stop"}));
    for (const char *step : {"to_maria", "to_json", "to_pg", "to_csv", "first_db", "last_db"}) {
        const Ran ran = Rdrun(std::string("--no-progress ") + step);
        ASSERT_EQ(0, ran.status) << step << "\n" << ran.out << ran.err;
    }
    // Each store holds every order, the same sum of amounts and ids.
    const long long cents = OrderCents(kOrders) + 9999999999999LL - 1250 - 1;
    const std::string sums = std::to_string(kOrders + 3) + "|" + std::to_string(cents);
    EXPECT_EQ(sums, Maria("SELECT count(*), CAST(sum(amount) * 100 AS SIGNED) FROM orders"));
    EXPECT_EQ(std::vector<std::string>{sums},
              rdtest::PgSql("SELECT count(*), (sum(amount) * 100)::bigint FROM orders"));
    EXPECT_EQ(std::vector<std::string>{"5000000000|-12.50|1899-12-31 23:59:59|line\nbreak "
                                       "\"quoted\" \xF0\x9F\x98\x80"},
              rdtest::PgSql("SELECT id, amount, ordered_at, customer FROM orders WHERE id = "
                            "5000000000"));
    EXPECT_EQ(kOrders + 3, Count(rdtest::ReadFile(Path("orders.jsonl")), "\n"));
    // The file that came back holds the values of the first, one by one.
    const std::string all = "SELECT id, printf('%.2f', amount), ordered_at, customer FROM orders "
                            "ORDER BY id";
    const std::string first = Db(Path("first.db")).Query(all);
    EXPECT_EQ(first, Db(Path("last.db")).Query(all));
    EXPECT_NE(std::string::npos, first.find("9223372036854775807|-0.01|1900-01-01 00:00:00.25|"))
        << first.substr(first.size() - 300);
}

} // namespace
} // namespace rdruntest
