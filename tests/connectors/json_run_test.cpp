// SPDX-License-Identifier: Apache-2.0
// JSON Lines in copies run by rdrun: delimited orders to a compressed JSON
// Lines file and on to SQLite with every value, and bad lines skipped into
// the copy's rejects file as the file holds them.
#include "../rdrun/run_test_env.h"

#include <unistd.h>

namespace rdruntest {
namespace {

class JsonRunTest : public RunTest {
  protected:
    void SetUp() override {
        RunTest::SetUp();
        ASSERT_EQ(0, symlink(RDTEST_RDJSON_PATH, Path("rdjson.rdx").c_str()));
    }
    static std::string JsonLink(const std::string &name, const std::string &path,
                                const std::string &extra = "") {
        return "[link." + name + "]\nconnector = \"rdjson\"\nPath = \"" + path +
               "\"\nCreate = 1\n" + extra;
    }
};

TEST_F(JsonRunTest, OrdersGoThroughACompressedFileWithEveryValue) {
    constexpr unsigned kOrders = 1500;
    MakeOrders(Path("orders.csv"), kOrders);
    Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) +
           JsonLink("json", Path("orders.jsonl.gz")) + SqliteLink("db", Path("o.db")) +
           CopyActivity("unload", {"csv", "json", "", "", 400, "stop"}) +
           CopyActivity("load", {"json", "db", "orders", "", 300, "stop"}));
    Ran ran = Rdrun("unload");
    ASSERT_EQ(0, ran.status) << ran.out << ran.err;
    EXPECT_NE(std::string::npos, ran.out.find("1,500 records written.")) << ran.out;
    ran = Rdrun("load");
    ASSERT_EQ(0, ran.status) << ran.out << ran.err;
    Db db(Path("o.db"));
    EXPECT_EQ("1500|1|1500|" + std::to_string(OrderCents(kOrders)) + "\n",
              db.Query("SELECT count(*), min(id), max(id), "
                       "sum(CAST(round(amount * 100) AS INTEGER)) FROM orders"));
    EXPECT_EQ("1234|7720.46|2026-09-03 10:58:22|Ørsted, Åse\n",
              db.Query("SELECT id, printf('%.2f', amount), ordered_at, customer FROM orders "
                       "WHERE id = 1234"));
}

TEST_F(JsonRunTest, BadLinesAreSkippedIntoTheRejects) {
    rdtest::WriteFile(Path("in.jsonl"), "{\"id\":1,\"name\":\"a\"}\n"
                                        "{\"id\":\"two\",\"name\":\"b\"}\n"
                                        "{\"id\":3,\"name\":\"c\"}\n"
                                        "not json\r\n"
                                        "{\"id\":5,\"name\":\"e\"}\n");
    Define(JsonLink("in", Path("in.jsonl"), "Columns = \"id:int,name:text\"\n") +
           SqliteLink("db", Path("o.db")) +
           CopyActivity("load", {"in", "db", "items", "", 2, "skip"}) + "Rejects = \"" +
           Path("rejects.txt") + "\"\n");
    const Ran ran = Rdrun("load");
    ASSERT_EQ(2, ran.status) << ran.out << ran.err; // ended with records skipped
    EXPECT_NE(std::string::npos, ran.out.find("2 records skipped")) << ran.out;
    Db db(Path("o.db"));
    EXPECT_EQ("1|a\n3|c\n5|e\n", db.Query("SELECT id, name FROM items ORDER BY id"));
    EXPECT_EQ("{\"id\":\"two\",\"name\":\"b\"}\nnot json\r\n",
              rdtest::ReadFile(Path("rejects.txt")));
    const std::string log = Log("load");
    EXPECT_NE(std::string::npos, log.find("line 2 of")) << log;
    EXPECT_NE(std::string::npos, log.find("line 4 of")) << log;
}

// SIGKILL at random moments of a copy out of a compressed file, each run
// started with --resume: the source's ReadPosition takes every run on from
// the record after the last one committed, and the table ends with every
// record exactly once.
TEST_F(JsonRunTest, KilledCopiesOutOfAGzipFileResumeWithoutLossOrRepeat) {
    constexpr unsigned kOrders = 400000;
    MakeOrders(Path("orders.csv"), kOrders);
    Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) +
           JsonLink("json", Path("orders.jsonl.gz"),
                    "Columns = \"" + std::string(kOrderColumns) + "\"\n") +
           SqliteLink("db", Path("o.db")) +
           CopyActivity("unload", {"csv", "json", "", "", 5000, "stop"}) +
           CopyActivity("load", {"json", "db", "orders", "", 500, "stop"}));
    const Ran unload = Rdrun("--no-progress unload");
    ASSERT_EQ(0, unload.status) << unload.out << unload.err;
    const auto rows = [this] {
        Db db(Path("o.db"));
        const std::string count = db.Query("SELECT count(*) FROM sqlite_master WHERE name = "
                                           "'orders'") == "1\n"
                                      ? db.Query("SELECT count(*) FROM orders")
                                      : "0\n";
        return std::stol(count);
    };
    const int killed = KillLoop("--resume --no-progress load", 10, 100,
                                [&] { return rows() == static_cast<long>(kOrders); });
    const Ran last = Rdrun("--resume --no-progress load");
    EXPECT_EQ(0, last.status) << last.out << last.err;
    EXPECT_GT(killed, 0);
    Db db(Path("o.db"));
    EXPECT_EQ(std::to_string(kOrders) + "|" + std::to_string(kOrders) + "|" +
                  std::to_string(OrderCents(kOrders)) + "\n",
              db.Query("SELECT count(*), count(DISTINCT id), "
                       "sum(CAST(round(amount * 100) AS INTEGER)) FROM orders"));
}

// SIGKILL at random moments of copies into a plain and a compressed file,
// each run started with --resume: the mark beside the file cuts off what
// a killed run wrote after its last marked batch, and the file ends with
// every record exactly once.
TEST_F(JsonRunTest, KilledCopiesIntoPlainAndGzipFilesResumeToEveryRecordOnce) {
    constexpr unsigned kOrders = 300000;
    MakeOrders(Path("orders.csv"), kOrders);
    for (const std::string file : {"out.jsonl", "out.jsonl.gz"}) {
        SCOPED_TRACE(file);
        Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) +
               JsonLink("json", Path(file), "Columns = \"" + std::string(kOrderColumns) + "\"\n") +
               SqliteLink("db", Path(file + ".db")) +
               CopyActivity("unload", {"csv", "json", "", "", 2000, "stop"}) +
               CopyActivity("load", {"json", "db", "orders", "", 5000, "stop"}));
        const int killed = KillLoop("--resume --no-progress unload", 8, 100, [] { return false; });
        const Ran last = Rdrun("--resume --no-progress unload");
        ASSERT_EQ(0, last.status) << last.out << last.err;
        EXPECT_GT(killed, 0);
        const Ran load = Rdrun("--no-progress load");
        ASSERT_EQ(0, load.status) << load.out << load.err;
        Db db(Path(file + ".db"));
        EXPECT_EQ(std::to_string(kOrders) + "|" + std::to_string(kOrders) + "|" +
                      std::to_string(OrderCents(kOrders)) + "\n",
                  db.Query("SELECT count(*), count(DISTINCT id), "
                           "sum(CAST(round(amount * 100) AS INTEGER)) FROM orders"));
    }
}

} // namespace
} // namespace rdruntest
