// SPDX-License-Identifier: Apache-2.0
// rdrun copying into and out of PostgreSQL: rdcopy with rdcsv and rdpg
// against the test program's own cluster, with one COPY per batch and one
// for the whole copy (the target's transaction ends with the copy).
#include "pg_run_env.h"

#include <algorithm>
#include <fstream>

namespace rdruntest {
namespace {

using rdtest::PgSql;

// The lines of a CSV file of orders as the engine writes them back: line
// ends without the carriage return, amounts without trailing zeros.
std::vector<std::string> OrderLines(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t from = line.find(',') + 1, to = line.find(',', from);
        if (lines.empty() || to == std::string::npos || line.find('.', from) > to) {
            lines.push_back(line);
            continue;
        }
        size_t end = to;
        while (line[end - 1] == '0')
            --end;
        if (line[end - 1] == '.') --end;
        lines.push_back(line.substr(0, end) + line.substr(to));
    }
    return lines;
}

// The first line where two files of orders differ, or "" when none does.
std::string FirstDifference(const std::string &expected, const std::string &actual) {
    const std::vector<std::string> a = OrderLines(expected), b = OrderLines(actual);
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const std::string x = i < a.size() ? a[i] : "<none>", y = i < b.size() ? b[i] : "<none>";
        if (x != y) return "line " + std::to_string(i + 1) + ": " + x + " <> " + y;
    }
    return "";
}

// 1,000 orders in batches of 128 (the last one short), into a table rdcopy
// creates, and back out to a file that equals the one read.
TEST_F(PgRunTest, CsvThroughPostgresAndBackInBothTransactionModes) {
    MakeOrders(Path("orders.csv"), 1000);
    for (const std::string mode : {"batch", "connection"}) {
        SCOPED_TRACE(mode);
        PgSql("DROP TABLE IF EXISTS orders");
        Define(
            CsvLink("in_" + mode, Path("orders.csv"), kOrderColumns) + PgLink("pg_" + mode, mode) +
            CsvLink("out_" + mode, Path(mode + ".csv"), "", true) +
            CopyActivity("load_" + mode, {"in_" + mode, "pg_" + mode, "orders", "", 128, "stop"}) +
            CopyActivity("unload_" + mode, {"pg_" + mode, "out_" + mode, Path(mode + ".csv"),
                                            "SELECT * FROM orders ORDER BY id", 128, "stop"}));
        const Ran load = Rdrun("load_" + mode);
        ASSERT_EQ(0, load.status) << load.out << load.err;
        EXPECT_EQ(
            (std::vector<std::string>{"1000|1000|" + std::to_string(OrderCents(1000))}),
            PgSql("SELECT count(*), count(DISTINCT id), sum(amount * 100)::bigint FROM orders"));

        const Ran unload = Rdrun("unload_" + mode);
        ASSERT_EQ(0, unload.status) << unload.out << unload.err;
        EXPECT_EQ("", FirstDifference(Path("orders.csv"), Path(mode + ".csv")));
    }
}

// A SQLite table through PostgreSQL into a new SQLite table, with one COPY
// for the load: every value arrives unchanged, nulls and empty texts kept
// apart, and the PostgreSQL table has the column types made from them.
TEST_F(PgRunTest, SqliteThroughPostgresAndBack) {
    {
        Db db(Path("src.db"));
        db.Exec("CREATE TABLE items(id INTEGER, price NUMERIC(8,2), at DATETIME, note TEXT,"
                " data BLOB);"
                "INSERT INTO items VALUES(1, 1.5, '2026-03-29 01:30:00', 'plain', x'00FF'),"
                "(2, -0.25, '1600-02-29 23:59:59.99', 'ünïcødé ✓ 😀', NULL),"
                "(3, NULL, NULL, '', x''), (4, 123456.78, '9999-12-31 00:00:00', NULL, x'0A')");
    }
    Define(
        SqliteLink("lite", Path("src.db")) + SqliteLink("back", Path("back.db")) +
        PgLink("pg", "connection") +
        CopyActivity("in", {"lite", "pg", "items", "SELECT * FROM items", 3, "stop"}) +
        CopyActivity("out", {"pg", "back", "items", "SELECT * FROM items ORDER BY id", 3, "stop"}));
    const Ran in = Rdrun("in");
    ASSERT_EQ(0, in.status) << in.out << in.err;
    EXPECT_EQ((std::vector<std::string>{"id|integer", "price|numeric",
                                        "at|timestamp without time "
                                        "zone",
                                        "note|text", "data|bytea"}),
              PgSql("SELECT column_name, data_type FROM information_schema.columns WHERE "
                    "table_name = 'items' ORDER BY ordinal_position"));
    const Ran out = Rdrun("out");
    ASSERT_EQ(0, out.status) << out.out << out.err;
    Db back(Path("back.db"));
    back.Exec("ATTACH '" + Path("src.db") + "' AS src");
    EXPECT_EQ("4\n", back.Query("SELECT count(*) FROM items b JOIN src.items s ON s.id = b.id "
                                "AND s.price IS b.price AND s.at IS b.at AND s.note IS b.note "
                                "AND s.data IS b.data"));
}

// A record the table refuses (a key already there) in the third batch:
// with one COPY per batch the batches before it stay; with one COPY for
// the copy nothing stays, whether bad records stop the copy or are to be
// skipped (the refusal comes only when the copy ends), and the log says
// that the rows were rolled back.
TEST_F(PgRunTest, RefusedRecordKeepsWholeBatchesOrNothing) {
    MakeOrders(Path("orders.csv"), 20);
    struct Case {
        std::string mode, onError, kept;
        int status;
    };
    for (const Case &c : {Case{"batch", "stop", "11", 1}, Case{"batch", "skip", "20", 2},
                          Case{"connection", "stop", "1", 1}, Case{"connection", "skip", "1", 1}}) {
        SCOPED_TRACE(c.mode + " " + c.onError);
        PgSql("DROP TABLE IF EXISTS orders; CREATE TABLE orders (id integer UNIQUE, amount "
              "numeric(12,2), ordered_at timestamp, customer text);"
              "INSERT INTO orders VALUES (13, 0, NULL, 'already there')");
        const std::string name = c.mode + "_" + c.onError;
        Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + PgLink("pg", c.mode) +
               CopyActivity(name, {"csv", "pg", "orders", "", 5, c.onError, false}));
        const Ran ran = Rdrun(name);
        EXPECT_EQ(c.status, ran.status) << ran.out << ran.err;
        EXPECT_EQ((std::vector<std::string>{c.kept}), PgSql("SELECT count(*) FROM orders"));
        const std::string log = Log(name);
        EXPECT_NE(std::string::npos, log.find("23505")) << log;
        if (c.mode == "connection") {
            EXPECT_NE(std::string::npos,
                      log.find("record 3 of batch 3 was refused; the copy of 20 records was "
                               "rolled back"))
                << log;
        }
    }
}

// A copy in one COPY that stops at a malformed source line in its third
// batch: what was sent before it (two batches and the two good records of
// the third) is rolled back, not committed when the connection ends, and
// the log says so.
TEST_F(PgRunTest, FailedCopyInOneCopyCommitsNothing) {
    std::string csv = "id,amount,ordered_at,customer\n";
    for (int i = 1; i <= 20; ++i)
        csv += i == 13 ? "13,not a number,2026-01-01 10:00:00,x\n"
                       : std::to_string(i) + ",1.50,2026-01-01 10:00:00,x\n";
    rdtest::WriteFile(Path("bad.csv"), csv);
    PgSql("CREATE TABLE orders (id integer, amount numeric(12,2), ordered_at timestamp, "
          "customer text)");
    Define(CsvLink("csv", Path("bad.csv"), kOrderColumns) + PgLink("pg", "connection") +
           CopyActivity("load", {"csv", "pg", "orders", "", 5, "stop", false}));
    const Ran ran = Rdrun("load");
    EXPECT_EQ(1, ran.status) << ran.out << ran.err;
    EXPECT_EQ((std::vector<std::string>{"0"}), PgSql("SELECT count(*) FROM orders"));
    const std::string log = Log("load");
    EXPECT_NE(std::string::npos,
              log.find("  12326 info  the copy of 12 records was rolled back.\n"))
        << log;
    // The copy's own last line still names the cause, and writes nothing
    // of what was rolled back.
    EXPECT_NE(std::string::npos,
              log.rfind("is not a numeric. Stopped after 12 records, all rolled back: nothing "
                        "was written."))
        << log;
}

} // namespace
} // namespace rdruntest
