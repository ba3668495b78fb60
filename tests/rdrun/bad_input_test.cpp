// SPDX-License-Identifier: Apache-2.0
// Copies that meet bad records: a malformed CSV line, a record the target
// refuses in the middle of a batch, a missing source file. "stop" writes
// nothing after the fault and fails the run; "skip" writes every good
// record; the log names the line or record either way.
#include "run_test_env.h"

#include <algorithm>

namespace rdruntest {
namespace {

constexpr unsigned kOrders = 20;
constexpr unsigned kBad = 13; // the bad record; its line is 14 (after the header)

// Orders 1..20 with record 13 replaced by `line`.
std::string OrdersWithBadLine(const std::string &line) {
    std::string text = "id,amount,ordered_at,customer\n";
    for (unsigned i = 1; i <= kOrders; ++i)
        text += i == kBad ? line + "\n"
                          : std::to_string(i) + "," + std::to_string(i) + ".50,2026-01-0" +
                                std::to_string(1 + i % 9) + " 10:00:00,\"Name, " +
                                std::to_string(i) + "\"\n";
    return text;
}

struct Malformed {
    const char *what;
    const char *line;
    bool last; // the fault swallows the rest of the file: only as the last line
};
constexpr Malformed kMalformed[] = {
    {"too many fields", "13,1.00,2026-01-01 10:00:00,x,extra", false},
    {"not an int", "thirteen,1.00,2026-01-01 10:00:00,x", false},
    {"not a numeric", "13,12;5,2026-01-01 10:00:00,x", false},
    {"invalid UTF-8", "13,1.00,2026-01-01 10:00:00,bad \xC3\x28 byte", false},
    {"unbalanced quote", "13,1.00,2026-01-01 10:00:00,\"open", true},
};

class BadCsvTest : public RunTest {
  protected:
    // Defines a copy `name` of `csv` into a new table with OnError and
    // batches of 5; runs it.
    Ran Copy(const std::string &name, const std::string &csv, const char *onError) {
        rdtest::WriteFile(Path(name + ".csv"), csv);
        Define(CsvLink(name + "_csv", Path(name + ".csv"), kOrderColumns) +
               SqliteLink(name + "_db", Path(name + ".db")) +
               CopyActivity(name, {name + "_csv", name + "_db", "orders", "", 5, onError}));
        return Rdrun(name);
    }
};

TEST_F(BadCsvTest, StopWritesNothingAfterTheMalformedLine) {
    int n = 0;
    for (const Malformed &bad : kMalformed) {
        SCOPED_TRACE(bad.what);
        std::string csv = OrdersWithBadLine(bad.line);
        if (bad.last) csv = csv.substr(0, csv.find(bad.line) + std::string(bad.line).size() + 1);
        const std::string name = "stop" + std::to_string(n++);
        const Ran ran = Copy(name, csv, "stop");
        EXPECT_EQ(1, ran.status) << ran.out << ran.err;
        // rdrun's last line tells the cause.
        EXPECT_NE(std::string::npos, ran.out.find("Failed (status ")) << ran.out;
        EXPECT_NE(std::string::npos, ran.out.find("line 14 of " + Path(name + ".csv"))) << ran.out;
        Db db(Path(name + ".db"));
        EXPECT_EQ("12|12\n", db.Query("SELECT count(*), max(id) FROM orders"));
        const std::string log = Log(name);
        EXPECT_NE(std::string::npos, log.find("ERROR: line 14 of")) << log;
        EXPECT_NE(std::string::npos,
                  log.find(". Stopped after 12 records written in whole batches; run it with "
                           "--resume to go on."))
            << log;
    }
}

// A bad first record ends a copy that stops with that record's fault (it
// was once taken for a source that reported the same record again).
TEST_F(BadCsvTest, StopAtTheFirstRecordTellsItsFault) {
    std::string csv = OrdersWithBadLine("13,x,y,z");
    const std::string line1 = "1,1.50,2026-01-02 10:00:00,\"Name, 1\"\n";
    ASSERT_NE(std::string::npos, csv.find(line1));
    csv.replace(csv.find(line1), line1.size(), "1,12;5,2026-01-02 10:00:00,x\n");
    const Ran ran = Copy("first", csv, "stop");
    EXPECT_EQ(1, ran.status) << ran.out << ran.err;
    EXPECT_NE(std::string::npos, ran.out.find("line 2 of " + Path("first.csv") + ": field 2"))
        << ran.out;
    EXPECT_EQ(std::string::npos, ran.out.find("made no progress")) << ran.out;
}

TEST_F(BadCsvTest, SkipWritesEveryGoodRecord) {
    int n = 0;
    for (const Malformed &bad : kMalformed) {
        if (bad.last) continue;
        SCOPED_TRACE(bad.what);
        const std::string name = "skip" + std::to_string(n++);
        const Ran ran = Copy(name, OrdersWithBadLine(bad.line), "skip");
        Db db(Path(name + ".db"));
        EXPECT_EQ("19|197|0\n", db.Query("SELECT count(*), sum(id), count(*) FILTER "
                                         "(WHERE customer <> 'Name, ' || id) FROM orders"));
        const std::string log = Log(name);
        EXPECT_NE(std::string::npos, log.find("line 14 of")) << log;
        EXPECT_NE(std::string::npos, log.find("1 record skipped (line 14 of ")) << log;
        EXPECT_NE(std::string::npos, log.find("): 19 written.")) << log;
        // It finished, with a record skipped: the outcome says so in one line.
        EXPECT_EQ(2, ran.status) << ran.out << ran.err;
        EXPECT_NE(std::string::npos, ran.out.find("Ended with problems: 1 record skipped (line 14"))
            << ran.out;
    }
}

// A fault of the target as a whole (here a NOT NULL column the source does
// not fill) ends a copy that skips bad records at once, with one line,
// instead of skipping every record.
TEST_F(BadCsvTest, TargetFaultsEndASkippingCopyAtOnce) {
    MakeOrders(Path("orders.csv"), 1000);
    {
        Db db(Path("t.db"));
        db.Exec("CREATE TABLE orders(id INTEGER, amount NUMERIC(12,2), ordered_at DATETIME, "
                "customer TEXT, region TEXT NOT NULL)");
    }
    Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + SqliteLink("db", Path("t.db")) +
           CopyActivity("load", {"csv", "db", "orders", "", 100, "skip", false}));
    const Ran ran = Rdrun("load");
    EXPECT_EQ(1, ran.status) << ran.out;
    EXPECT_NE(std::string::npos, ran.out.find("Failed (status 12325): ")) << ran.out;
    EXPECT_NE(std::string::npos, ran.out.find("region")) << ran.out;
    const std::string log = Log("load");
    EXPECT_EQ(std::string::npos, log.find("was skipped")) << log;
    EXPECT_EQ(2, std::count(log.begin(), log.end(), '\n')) << log; // the fault, the outcome
    Db db(Path("t.db"));
    EXPECT_EQ("0\n", db.Query("SELECT count(*) FROM orders"));
}

// A value that holds terminal control sequences reaches the outcome line
// escaped, never raw.
TEST_F(BadCsvTest, ControlCharactersOfTheDataAreShownEscaped) {
    const Ran ran = Copy("ctl", OrdersWithBadLine("13,\x1b[2J\x1b]0;owned\x07,x,y"), "stop");
    EXPECT_EQ(1, ran.status) << ran.out;
    EXPECT_EQ(std::string::npos, ran.out.find('\x1b')) << ran.out;
    EXPECT_NE(std::string::npos, ran.out.find("\\x1b[2J\\x1b]0;owned\\x07")) << ran.out;
}

// The reject file holds each skipped record as it was read, byte for byte
// (a quoted field across lines included), and its log where each began and
// why; records the target refuses come as delimited lines of their values.
TEST_F(BadCsvTest, RejectsHoldTheSkippedRecordsAsRead) {
    const std::string bad1 = "x1,1.00,2026-01-01 10:00:00,\"two\nlines\"\n";
    const std::string bad2 = "15,oops,2026-01-01 10:00:00,y\r\n";
    std::string csv = "id,amount,ordered_at,customer\n1,1.00,2026-01-01 10:00:00,a\n" + bad1 +
                      "3,3.00,2026-01-01 10:00:00,c\n" + bad2 + "16,1.00,2026-01-01 10:00:00,d\n";
    rdtest::WriteFile(Path("in.csv"), csv);
    {
        Db db(Path("r.db"));
        db.Exec("CREATE TABLE orders(id INTEGER UNIQUE, amount NUMERIC(12,2), "
                "ordered_at DATETIME, customer TEXT); INSERT INTO orders VALUES(3, 0, NULL, 'x')");
    }
    Define(CsvLink("in", Path("in.csv"), kOrderColumns) + SqliteLink("db", Path("r.db")) +
           CopyActivity("load", {"in", "db", "orders", "", 10, "skip", false}) + "Rejects = \"" +
           Path("rejects.csv") + "\"\n");
    const Ran ran = Rdrun("load");
    EXPECT_EQ(2, ran.status) << ran.out;
    EXPECT_NE(std::string::npos, ran.out.find("Ended with problems: 3 records skipped (line 3 of "))
        << ran.out;
    EXPECT_NE(std::string::npos, ran.out.find("): 2 written; 2 could not be read, 1 refused by "
                                              "the target; rejects in " +
                                              Path("rejects.csv") + "."))
        << ran.out;
    // A refused record comes as the target saw its values (the amount with
    // its field's scale).
    EXPECT_EQ(bad1 + bad2 + "3,3.00,2026-01-01 10:00:00,c\n",
              rdtest::ReadFile(Path("rejects.csv")));
    const std::string log = rdtest::ReadFile(Path("rejects.csv.log"));
    EXPECT_EQ(0u, log.find("line 3: line 3 of " + Path("in.csv") + ": field 1 (id)")) << log;
    EXPECT_NE(std::string::npos, log.find("\nline 6: line 6 of ")) << log;
    EXPECT_NE(std::string::npos, log.find("\nrecord 3: ")) << log;
    EXPECT_NE(std::string::npos, log.find("UNIQUE")) << log;
    EXPECT_EQ(3, std::count(log.begin(), log.end(), '\n')) << log;
    Db db(Path("r.db"));
    EXPECT_EQ("3|20\n", db.Query("SELECT count(*), sum(id) FROM orders"));
}

// A copy into its own source would never end: refused before anything is
// written, whether the two links name the file the same way or not.
TEST_F(BadCsvTest, ACopyIntoItsOwnSourceIsRefused) {
    rdtest::WriteFile(Path("same.csv"), OrdersWithBadLine("13,1.00,2026-01-01 10:00:00,x"));
    const std::string before = rdtest::ReadFile(Path("same.csv"));
    Define(CsvLink("a", Path("same.csv"), kOrderColumns) +
           CsvLink("b", Path("./same.csv"), kOrderColumns) +
           CopyActivity("self", {"a", "a", "", "", 5, "stop", false}) +
           CopyActivity("alias", {"a", "b", "", "", 5, "stop", false}));
    for (const char *name : {"self", "alias"}) {
        const Ran ran = Rdrun(name);
        EXPECT_EQ(1, ran.status) << ran.out;
        EXPECT_NE(std::string::npos, ran.out.find("is its source")) << ran.out;
    }
    EXPECT_EQ(before, rdtest::ReadFile(Path("same.csv")));
}

// The target already holds order 13 under a UNIQUE key: the batch 11-15
// fails at its third record.
class ConstraintTest : public RunTest {
  protected:
    Ran Copy(const char *onError) {
        MakeOrders(Path("orders.csv"), kOrders);
        {
            Db db(Path("t.db"));
            db.Exec("CREATE TABLE orders(id INTEGER UNIQUE, amount NUMERIC(12,2), "
                    "ordered_at DATETIME, customer TEXT);"
                    "INSERT INTO orders VALUES(13, 0, NULL, 'already there')");
        }
        Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + SqliteLink("db", Path("t.db")) +
               CopyActivity("load", {"csv", "db", "orders", "", 5, onError, false}));
        return Rdrun("load");
    }
};

TEST_F(ConstraintTest, StopRollsTheBatchBack) {
    const Ran ran = Copy("stop");
    EXPECT_EQ(1, ran.status) << ran.out << ran.err;
    Db db(Path("t.db"));
    EXPECT_EQ("11|10|already there\n",
              db.Query("SELECT count(*), max(id) FILTER (WHERE id <> 13), "
                       "(SELECT customer FROM orders WHERE id = 13) FROM orders"));
    const std::string log = Log("load");
    EXPECT_NE(std::string::npos, log.find("UNIQUE")) << log;
    // None of the refused batch counts as written.
    EXPECT_NE(std::string::npos, log.find("UNIQUE constraint failed")) << log;
    EXPECT_NE(std::string::npos, log.find(". Stopped after 10 records written in whole batches"))
        << log;
    EXPECT_NE(std::string::npos, ran.out.find("UNIQUE constraint failed")) << ran.out;
}

TEST_F(ConstraintTest, SkipWritesTheRestAndLogsTheRecordNumber) {
    const Ran ran = Copy("skip");
    EXPECT_EQ(2, ran.status) << ran.out << ran.err;
    Db db(Path("t.db"));
    EXPECT_EQ("20|210|already there\n",
              db.Query("SELECT count(*), sum(id), "
                       "(SELECT customer FROM orders WHERE id = 13) FROM orders"));
    const std::string log = Log("load");
    EXPECT_NE(std::string::npos, log.find("  12330  ERROR: Record 13 was skipped.\n")) << log;
    EXPECT_NE(std::string::npos, log.find("1 record skipped (record 13: ")) << log;
    EXPECT_NE(std::string::npos, log.find("): 19 written.")) << log;
}

// A bad source line before a refused record: the record number still
// counts the source's records.
TEST_F(ConstraintTest, SkippedRecordNumbersCountBadSourceLines) {
    std::string csv = OrdersWithBadLine("13,x,y,z");
    const std::string line7 = "7,7.50,2026-01-08 10:00:00,\"Name, 7\"\n";
    csv.replace(csv.find(line7), line7.size(), "bad line\n");
    rdtest::WriteFile(Path("bad.csv"), csv);
    {
        Db db(Path("t.db"));
        db.Exec("CREATE TABLE orders(id INTEGER UNIQUE, amount NUMERIC(12,2), "
                "ordered_at DATETIME, customer TEXT);"
                "INSERT INTO orders VALUES(16, 0, NULL, 'already there')");
    }
    Define(CsvLink("csv", Path("bad.csv"), kOrderColumns) + SqliteLink("db", Path("t.db")) +
           CopyActivity("load", {"csv", "db", "orders", "", 5, "skip", false}));
    const Ran ran = Rdrun("load");
    EXPECT_EQ(2, ran.status) << ran.out << ran.err;
    const std::string log = Log("load");
    EXPECT_NE(std::string::npos, log.find("  12330  ERROR: Record 16 was skipped.\n")) << log;
    EXPECT_NE(std::string::npos, log.find("3 records skipped (line 8 of " + Path("bad.csv")))
        << log;
    EXPECT_NE(std::string::npos,
              log.find(", and others): 17 written; 2 could not be read, 1 refused by the target."))
        << log;
    Db db(Path("t.db"));
    EXPECT_EQ("18\n", db.Query("SELECT count(*) FROM orders"));
}

// A target file that cannot grow (RLIMIT_FSIZE, as on a full disk): the
// batch that does not fit is not written, and the copy stops saying so.
TEST_F(RunTest, FullTargetKeepsWholeBatchesAndCountsThem) {
    {
        Db db(Path("src.db"));
        db.Exec("CREATE TABLE items(id INTEGER, note TEXT);"
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                "INSERT INTO items SELECT 99 + i, printf('%090d', i) FROM n");
    }
    Define(SqliteLink("db", Path("src.db")) + CsvLink("csv", Path("items.csv"), "", true) +
           CopyActivity("dump", {"db", "csv", "", "SELECT id, note FROM items", 10, "stop"}));
    const int status = rdtest::Shell("ulimit -f 8; '" + Path("rdrun") + "' -q dump >'" +
                                     Path("out.txt") + "' 2>&1");
    EXPECT_EQ(1, status) << rdtest::ReadFile(Path("out.txt"));
    const std::string csv = rdtest::ReadFile(Path("items.csv"));
    EXPECT_LE(csv.size(), 8u * 1024); // bash counts blocks of 512 or 1024 bytes
    // The header and whole batches of 10 lines of 3 + 1 + 90 bytes and CRLF.
    ASSERT_EQ(0u, (csv.size() - 9) % (10 * 96)) << csv.size();
    const std::size_t written = (csv.size() - 9) / 96;
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, 200u);
    const std::string log = Log("dump");
    EXPECT_NE(std::string::npos, log.find(". Stopped after " + std::to_string(written) +
                                          " records written in whole batches"))
        << log;
}

TEST_F(RunTest, MissingSourceFileFailsNamingIt) {
    Define(CsvLink("csv", Path("nowhere/orders.csv"), kOrderColumns) +
           SqliteLink("db", Path("t.db")) +
           CopyActivity("load", {"csv", "db", "orders", "", 0, "stop"}));
    const Ran ran = Rdrun("load");
    EXPECT_EQ(1, ran.status);
    EXPECT_NE(std::string::npos, (ran.out + ran.err).find(Path("nowhere/orders.csv")))
        << ran.out << ran.err;
    EXPECT_NE(std::string::npos, Log("load").find(Path("nowhere/orders.csv"))) << Log("load");
}

} // namespace
} // namespace rdruntest
