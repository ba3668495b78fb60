// SPDX-License-Identifier: Apache-2.0
// Runs into PostgreSQL that are stopped, killed or failed in the middle:
// with one COPY per batch, --resume after any number of kills gives the
// source row for row; with one transaction for the whole copy, a stop, a
// kill and a source failure each leave nothing.
#include "pg_run_env.h"

#include <chrono>
#include <csignal>
#include <random>
#include <thread>
#include <unistd.h>

namespace rdruntest {
namespace {

using rdtest::PgSql;

class PgFaultTest : public PgRunTest {
  protected:
    void SetUp() override {
        PgRunTest::SetUp();
        if (IsSkipped()) return;
        PgSql("CREATE TABLE orders (id integer, amount numeric(12,2), ordered_at timestamp, "
              "customer text)");
    }
    long Rows() { return std::stol(PgSql("SELECT count(*) FROM orders").at(0)); }
    // The table's bytes on disk: they grow with rows not committed yet.
    long Bytes() { return std::stol(PgSql("SELECT pg_relation_size('orders')").at(0)); }
    void ExpectWhole(unsigned rows) {
        EXPECT_EQ((std::vector<std::string>{std::to_string(rows) + "|" + std::to_string(rows) +
                                            "|1|" + std::to_string(rows) + "|" +
                                            std::to_string(OrderCents(rows))}),
                  PgSql("SELECT count(*), count(DISTINCT id), min(id), max(id), "
                        "(sum(amount) * 100)::bigint FROM orders"));
    }
    std::mt19937 random_{static_cast<unsigned>(std::random_device()())};
};

TEST_F(PgFaultTest, KillLoopInBatchModeLosesAndRepeatsNothing) {
    const unsigned rows = Setting("RDX_KILL_LOOP_ROWS", 100000);
    MakeOrders(Path("orders.csv"), rows);
    Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + PgLink("pg", "batch") +
           CopyActivity("load", {"csv", "pg", "orders", "", 500, "stop", false}));
    KillLoop("--resume --no-progress load", Setting("RDX_KILL_LOOP_KILLS", 20), 400,
             [&] { return Rows() == static_cast<long>(rows); });
    const Ran last = Rdrun("--resume --no-progress load");
    EXPECT_EQ(0, last.status) << last.out << last.err;
    ExpectWhole(rows);
}

// All or nothing: whatever ends a copy held in one transaction, nothing of
// it stays, and a later run copies everything once.
TEST_F(PgFaultTest, ConnectionModeLeavesNothingWhateverEndsIt) {
    constexpr unsigned kRows = 150000;
    MakeOrders(Path("orders.csv"), kRows);
    std::string bad = rdtest::ReadFile(Path("orders.csv"));
    const size_t line =
        std::uniform_int_distribution<size_t>(bad.size() / 4, bad.size() / 2)(random_);
    bad.insert(bad.find('\n', line) + 1, "0,not a number,2026-01-01 00:00:00,x\n");
    rdtest::WriteFile(Path("bad.csv"), bad);
    Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) +
           CsvLink("bad", Path("bad.csv"), kOrderColumns) + PgLink("pg", "connection") +
           CopyActivity("load", {"csv", "pg", "orders", "", 1000, "stop", false}) +
           CopyActivity("load_bad", {"bad", "pg", "orders", "", 1000, "stop", false}));
    std::uniform_int_distribution<int> pause(0, 150);
    for (const int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        const pid_t run = Start("rdrun", "load", "run");
        for (int i = 0; i < 3000 && Bytes() == 0; ++i)
            usleep(10000);
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random_)));
        kill(run, signal);
        const int ended = Ended(run);
        // The copy was through before the signal came: all of it, and a
        // stop that came too late to stop anything does not say stopped.
        if (ended == 0 || Rows() == static_cast<long>(kRows)) {
            EXPECT_EQ(static_cast<long>(kRows), Rows());
            if (signal == SIGTERM) {
                EXPECT_EQ(0, ended);
            }
            // Its mark says it finished: the next round starts from nothing.
            PgSql("TRUNCATE orders");
            PgSql("DROP TABLE IF EXISTS rdx_copy_marks");
            continue;
        }
        EXPECT_EQ(128 + signal, ended);
        EXPECT_EQ(0, Rows());
        if (signal == SIGTERM) {
            const std::string out = rdtest::ReadFile(Path("run.out"));
            EXPECT_NE(std::string::npos, out.find("Stopped (status 1542) on request after "))
                << out;
            EXPECT_NE(std::string::npos,
                      out.find(" records, all rolled back: nothing was written."))
                << out;
        }
    }
    const Ran failed = Rdrun("load_bad");
    EXPECT_EQ(1, failed.status) << failed.out;
    EXPECT_EQ(0, Rows());
    const Ran whole = Rdrun("--resume load");
    EXPECT_EQ(0, whole.status) << whole.out << whole.err;
    ExpectWhole(kRows);
}

} // namespace
} // namespace rdruntest
