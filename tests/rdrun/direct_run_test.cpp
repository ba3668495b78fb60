// SPDX-License-Identifier: Apache-2.0
// Direct runs (`rdrun NAME`) are runs of their own in the server manager:
// numbered, ended with their outcome, records and rate, their log and
// statistics filed under their number, lost when their process is killed,
// and never mistaken for the run of a --serve host of the same activity.
// The tool's reports read the same with a server manager and without, and a
// definition made while it serves is used at once.
#include "run_test_env.h"

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rdruntest {
namespace {

constexpr auto npos = std::string::npos;

class DirectRunTest : public RunTest {
  protected:
    void SetUp() override {
        RunTest::SetUp();
        MakeOrders(Path("orders.csv"), kOrders);
        // The table is there already, so that every run of load adds to it.
        Db(Path("o.db"))
            .Exec("CREATE TABLE orders(id INTEGER, amount NUMERIC, ordered_at TEXT, "
                  "customer TEXT)");
        Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + SqliteLink("db", Path("o.db")) +
               CsvLink("out", Path("out.csv"), "", true) +
               CopyActivity("load", {"csv", "db", "orders", "", 1000, "stop", false}) +
               CopyActivity("slow", {"csv", "out", "", "", 100, "stop"}));
    }
    void TearDown() override {
        for (pid_t child : {host_, run_})
            if (child > 0) {
                kill(child, SIGKILL);
                waitpid(child, nullptr, 0);
            }
        RunTest::TearDown();
    }
    std::string Tool(const std::string &arguments) const {
        const Ran ran = Program("rdcsm", arguments);
        EXPECT_EQ(0, ran.status) << arguments << ": " << ran.err;
        return ran.out;
    }
    // The line of `rdcsm runs` of the run.
    std::string RunLine(int run) const {
        const std::string runs = Tool("runs");
        const std::string start = "run " + std::to_string(run) + "  ";
        const std::size_t at =
            runs.compare(0, start.size(), start) == 0 ? 0 : runs.find("\n" + start);
        if (at == npos) return runs;
        const std::size_t from = at == 0 ? 0 : at + 1;
        return runs.substr(from, runs.find('\n', from) - from);
    }
    off_t Written() const {
        struct stat file {};
        return stat(Path("out.csv").c_str(), &file) == 0 ? file.st_size : 0;
    }
    // Stops the child once it has written a batch of out.csv (more than its
    // header: a run stopped between making the file and its first batch has
    // marked nothing that a second run would have to resume).
    void StopWhileWriting(pid_t child) {
        ASSERT_TRUE(WaitFor([&] { return Written() > 1000; }));
        ASSERT_EQ(0, kill(child, SIGSTOP));
    }

    static constexpr unsigned kOrders = 20000;
    pid_t host_ = -1, run_ = -1;
};

TEST_F(DirectRunTest, EveryDirectRunHasItsNumberEndRecordsLogAndStatistics) {
    ASSERT_EQ(0, Rdrun("--no-progress load").status);
    ASSERT_EQ(0, Rdrun("--no-progress load").status);
    for (int run : {1, 2}) {
        SCOPED_TRACE(run);
        const std::string line = RunLine(run);
        EXPECT_EQ(0u, line.find("run " + std::to_string(run) + "  load  ended  started ")) << line;
        EXPECT_NE(npos, line.find("  ended 20")) << line;
        EXPECT_NE(npos, line.find("  records 20,000")) << line;
        EXPECT_NE(npos, line.find("/s")) << line;
    }
    EXPECT_NE(npos, Tool("list").find("runs: 0 queued, 0 running, 2 ended, 0 failed, 0 stopped, "
                                      "0 lost"))
        << Tool("list");
    // The log and the statistics are filed under each run's number.
    const std::string log = Log("load");
    EXPECT_EQ(npos, log.find("  run 0  ")) << log;
    EXPECT_NE(npos, log.find("  run 1  ")) << log;
    EXPECT_NE(npos, log.find("  run 2  ")) << log;
    const std::string stats = Tool("stats load");
    EXPECT_NE(npos, stats.find("run 1  ended")) << stats;
    EXPECT_NE(npos, stats.find("  run 2  statistics:")) << stats;
    EXPECT_EQ(npos, stats.find("  run 0  ")) << stats;
    // The last lines of `runs` of one activity are those of every run.
    EXPECT_EQ(Tool("runs"), Tool("runs load"));
    EXPECT_EQ(1, Program("rdcsm", "runs nothing").status);
}

TEST_F(DirectRunTest, FailedAndStoppedRunsAreToldSoAsRdrunSaysThem) {
    rdtest::WriteFile(Path("bad.csv"), "id,amount,ordered_at,customer\n"
                                       "1,1.0x,2026-01-01 10:00:00,bad amount\n");
    Define(CsvLink("bad", Path("bad.csv"), kOrderColumns) +
           CopyActivity("loadbad", {"bad", "db", "bad", "", 10, "stop"}));
    EXPECT_EQ(1, Rdrun("--no-progress loadbad").status);
    EXPECT_NE(npos, RunLine(1).find("run 1  loadbad  failed  ")) << RunLine(1);
    run_ = Start("rdrun", "--no-progress slow", "stopped");
    StopWhileWriting(run_);
    ASSERT_EQ(0, kill(run_, SIGTERM));
    ASSERT_EQ(0, kill(run_, SIGCONT));
    EXPECT_EQ(128 + SIGTERM, Ended(run_));
    run_ = -1;
    EXPECT_NE(npos, RunLine(2).find("run 2  slow  stopped  ")) << RunLine(2);
    EXPECT_NE(npos, Tool("list").find("runs: 0 queued, 0 running, 0 ended, 0 failed, 1 stopped"))
        << Tool("list");
}

TEST_F(DirectRunTest, AKilledDirectRunIsListedLost) {
    run_ = Start("rdrun", "--no-progress slow", "killed");
    StopWhileWriting(run_);
    EXPECT_NE(npos, RunLine(1).find("run 1  slow  running  started ")) << RunLine(1);
    ASSERT_EQ(0, kill(run_, SIGKILL));
    waitpid(run_, nullptr, 0);
    run_ = -1;
    // rdcsm looks for gone hosts every 2 s.
    EXPECT_TRUE(WaitFor([&] { return RunLine(1).find("run 1  slow  lost  ") != npos; }))
        << RunLine(1);
    EXPECT_NE(npos, Tool("list").find("0 running, 0 ended, 0 failed, 0 stopped, 1 lost"));
}

TEST_F(DirectRunTest, ADirectRunBesideAHostsRunOfTheSameActivityEndsOnlyItself) {
    ASSERT_EQ(0, Program("rdcsm", "run slow").status);
    host_ = Start("rdrun", "--serve", "host");
    StopWhileWriting(host_);
    EXPECT_NE(npos, RunLine(1).find("run 1  slow  running")) << RunLine(1);
    Rdrun("--no-progress slow"); // its outcome beside the host's writes does not matter
    EXPECT_NE(npos, RunLine(1).find("run 1  slow  running")) << RunLine(1);
    EXPECT_EQ(npos, RunLine(2).find("running")) << RunLine(2);
    EXPECT_EQ(npos, RunLine(2).find("lost")) << RunLine(2);
    ASSERT_EQ(0, kill(host_, SIGCONT));
    EXPECT_TRUE(WaitFor([&] { return RunLine(1).find("run 1  slow  ended") != npos; }))
        << RunLine(1) << "\n"
        << Log("slow") << rdtest::ReadFile(Path("host.err"));
}

TEST_F(DirectRunTest, ReportsReadTheSameWithAServerManagerAndWithout) {
    ASSERT_EQ(0, Rdrun("--no-progress load").status);
    ASSERT_EQ(0, Program("rdcsm", "run load").status);
    const char *reports[] = {"list",      "runs",       "runs load",
                             "log load",  "stats load", "stats --json load",
                             "show load", "export"};
    std::vector<std::string> served;
    for (const char *report : reports)
        served.push_back(Tool(report));
    ASSERT_EQ(0, Program("rdcsm", "stop").status);
    waitpid(server_, nullptr, 0);
    server_ = -1;
    for (std::size_t i = 0; i < std::size(reports); ++i)
        EXPECT_EQ(served[i], Tool(reports[i])) << reports[i];
}

TEST_F(DirectRunTest, ADefinitionMadeWhileServingIsUsedAtOnce) {
    Define(SqliteLink("db2", Path("o2.db")) +
           CopyActivity("load2", {"csv", "db2", "orders", "", 5000, "stop"}));
    ASSERT_EQ(0, Rdrun("--no-progress load2").status);
    EXPECT_NE(npos, RunLine(1).find("run 1  load2  ended")) << RunLine(1);
    // Redefined with another target table: the next run copies there.
    Define(CopyActivity("load2", {"csv", "db2", "few", "", 5000, "stop"}));
    ASSERT_EQ(0, Rdrun("--no-progress load2").status);
    Db db(Path("o2.db"));
    EXPECT_EQ("20000\n", db.Query("SELECT count(*) FROM few"));
}

} // namespace
} // namespace rdruntest
