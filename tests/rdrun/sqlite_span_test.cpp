// SPDX-License-Identifier: Apache-2.0
// A copy into SQLite that holds its batches uncommitted in spans: killed
// with SIGKILL while a span is open, the target keeps the last committed
// span with the mark that counts it, and --resume gives every source row
// once.
#include "run_test_env.h"

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace rdruntest {
namespace {

class SqliteSpanTest : public RunTest {
  protected:
    // orders.csv of `rows` orders into o.db in batches of `batch`, committed
    // every `span` records.
    void DefineLoad(unsigned rows, unsigned batch, unsigned span) {
        rows_ = rows;
        MakeOrders(Path("orders.csv"), rows);
        Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) +
               SqliteLink("db", Path("o.db"), static_cast<int>(span)) + "CommitSeconds = 0\n" +
               CopyActivity("load", {"csv", "db", "orders", "", batch, "stop"}));
    }
    long Rows() {
        Db db(Path("o.db"));
        return std::atol(db.Query("SELECT count(*) FROM orders").c_str());
    }
    // The records the stored mark counts as written.
    long MarkWritten() {
        Db db(Path("o.db"));
        const std::string mark = db.Query("SELECT mark FROM rdx_copy_marks WHERE name = 'load'");
        const size_t at = mark.find("written=");
        return at == std::string::npos ? -1 : std::atol(mark.c_str() + at + 8);
    }
    void ExpectWhole() {
        Db db(Path("o.db"));
        EXPECT_EQ(std::to_string(rows_) + "|" + std::to_string(rows_) + "|1|" +
                      std::to_string(rows_) + "|" + std::to_string(OrderCents(rows_)) + "\n",
                  db.Query("SELECT count(*), count(DISTINCT id), min(id), max(id), "
                           "CAST(round(sum(amount) * 100) AS INTEGER) FROM orders"));
    }

    // The number written with thousands separators at `at` of `text`.
    static long GroupedNumber(const std::string &text, size_t at) {
        long value = 0;
        for (; at < text.size() &&
               (std::isdigit(static_cast<unsigned char>(text[at])) || text[at] == ',');
             ++at)
            if (text[at] != ',') value = value * 10 + (text[at] - '0');
        return value;
    }

    unsigned rows_ = 0;
};

// Killed right after its first span (after the first batch, committed at
// once) was committed, the copy is inside the next one: only whole spans stay, the mark counts
// exactly them, and the resumed run finishes without a loss or a repeat.
TEST_F(SqliteSpanTest, KillInsideASpanThenResume) {
    DefineLoad(300000, 1000, 20000);
    const pid_t run = Start("rdrun", "--no-progress load", "run");
    long kept = 0;
    // The first batch, committed at once, then the first span after it.
    for (int i = 0; i < 30000 && kept <= 1000; ++i) {
        usleep(2000);
        kept = Db(Path("o.db")).Query("SELECT count(*) FROM sqlite_schema WHERE name = 'orders'") ==
                       "1\n"
                   ? Rows()
                   : 0;
    }
    kill(run, SIGKILL);
    EXPECT_EQ(128 + SIGKILL, Ended(run));
    kept = Rows();
    // Hundreds of thousands of records cannot follow the first span within
    // the poll's milliseconds.
    ASSERT_GT(kept, 0);
    ASSERT_LT(kept, static_cast<long>(rows_));
    EXPECT_EQ(0, (kept - 1000) % 20000) << kept;
    EXPECT_EQ(kept, MarkWritten());
    // Another SQLite connection may write again: nothing is held.
    Db(Path("o.db")).Exec("CREATE TABLE probe (n INTEGER)");
    const Ran resumed = Rdrun("--resume --no-progress load");
    EXPECT_EQ(0, resumed.status) << resumed.out << resumed.err;
    ExpectWhole();
    EXPECT_EQ(static_cast<long>(rows_), MarkWritten());
}

// SIGKILL at random moments, each run resumed: whatever span a kill meets,
// the target ends with every source record once.
TEST_F(SqliteSpanTest, KillLoopInSpansLosesAndRepeatsNothing) {
    DefineLoad(600000, 1000, 20000);
    const int killed = KillLoop("--resume --no-progress load", 8, 200,
                                [this] { return Rows() == static_cast<long>(rows_); });
    const Ran last = Rdrun("--resume --no-progress load");
    EXPECT_EQ(0, last.status) << last.out << last.err;
    ExpectWhole();
    EXPECT_GT(killed, 0);
}

// Stopped with SIGTERM, the open span is rolled back and the log says what
// stayed and what was undone.
TEST_F(SqliteSpanTest, StopRollsBackTheOpenSpan) {
    DefineLoad(900000, 1000, 50000);
    const pid_t run = Start("rdrun", "--no-progress load", "run");
    for (int i = 0; i < 30000; ++i) {
        usleep(2000);
        if (Db(Path("o.db")).Query("SELECT count(*) FROM sqlite_schema WHERE name = 'orders'") ==
                "1\n" &&
            Rows() > 1000)
            break;
    }
    // Into the span that follows the one just committed.
    usleep(10000);
    kill(run, SIGTERM);
    EXPECT_EQ(143, Ended(run));
    const long kept = Rows();
    ASSERT_LT(kept, static_cast<long>(rows_));
    EXPECT_EQ(0, (kept - 1000) % 50000) << kept;
    EXPECT_EQ(kept, MarkWritten());
    // The last line counts what surely stayed; a stop that came during an
    // insert leaves the target's last span in doubt, and the line bounds it.
    const std::string out = rdtest::ReadFile(Path("run.out"));
    const size_t at = out.find("on request after ");
    ASSERT_NE(std::string::npos, at) << out;
    const std::string line = out.substr(at, out.find('\n', at) - at);
    const long surely = GroupedNumber(line, line.find("after ") + 6);
    if (line.find("perhaps ") == std::string::npos) {
        EXPECT_EQ(kept, surely) << line;
        EXPECT_NE(std::string::npos, line.find("records written in whole batches; run it with "
                                               "--resume to go on. The "))
            << line;
        EXPECT_NE(std::string::npos, line.find(" held uncommitted after them were rolled back."))
            << line;
    } else {
        const long perhaps = GroupedNumber(line, line.find("perhaps ") + 8);
        EXPECT_LE(surely, kept) << line;
        EXPECT_LE(kept, surely + perhaps) << line;
        EXPECT_NE(std::string::npos, line.find("the stop came during an insert, and the target "
                                               "rolled back what it held uncommitted; run it "
                                               "with --resume to go on."))
            << line;
    }
    const Ran resumed = Rdrun("--resume --no-progress load");
    EXPECT_EQ(0, resumed.status) << resumed.out << resumed.err;
    ExpectWhole();
}

} // namespace
} // namespace rdruntest
