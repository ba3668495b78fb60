// SPDX-License-Identifier: Apache-2.0
// A running copy's progress reaches the server manager: a host serving the
// queue, or rdrun running an activity in its own process, sends samples
// while it copies, `rdcsm runs` shows the running run's records, rate and
// share done, and the samples stay apart from the run's one statistics
// record.
#include "run_test_env.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace rdruntest {
namespace {

// Lets a process run for 40 ms of every half second, so that a copy
// stays running while it is looked at on a machine of any speed.
class Pacer {
  public:
    explicit Pacer(pid_t process) : process_(process), thread_([this] { Pace(); }) {}
    ~Pacer() { Stop(); }
    void Stop() {
        done_ = true;
        if (thread_.joinable()) thread_.join();
        kill(process_, SIGCONT);
    }

  private:
    void Pace() {
        while (!done_) {
            kill(process_, SIGCONT);
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            if (done_) break;
            kill(process_, SIGSTOP);
            std::this_thread::sleep_for(std::chrono::milliseconds(460));
        }
    }

    pid_t process_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// The line of `rdcsm runs` of the running run, empty when there is none.
std::string RunningLine(const std::string &runs) {
    const size_t at = runs.find("  running  ");
    if (at == std::string::npos) return "";
    const size_t start = runs.rfind('\n', at) + 1; // npos + 1: the first line
    return runs.substr(start, runs.find('\n', at) - start);
}

class LiveProgressTest : public RunTest {
  protected:
    void SetUp() override {
        RunTest::SetUp();
        MakeOrders(Path("orders.csv"), 400000);
        Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + SqliteLink("db", Path("o.db")) +
               CopyActivity("load", {"csv", "db", "orders", "", 1000, "stop"}));
    }
    // Paces the host while `rdcsm runs` is polled (for at most a minute)
    // until its running run shows records, a rate and a share done; that
    // line.
    std::string WatchRunning(pid_t host) {
        Pacer pacer(host);
        std::string line;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (; std::chrono::steady_clock::now() < until; usleep(100000)) {
            line = RunningLine(Program("rdcsm", "runs").out);
            if (line.find("  records ") != std::string::npos &&
                line.find("/s  ") != std::string::npos && line.find('%') != std::string::npos)
                break;
        }
        return line;
    }
    // After the end: the samples stay in their table; the statistics show
    // the run's one record, and `runs` its final records without a share.
    void CheckEnded() {
        Db store(Path("rdcsm.db"));
        EXPECT_NE("0\n", store.Query("SELECT count(*) FROM samples WHERE run = 1"));
        EXPECT_EQ("0\n", store.Query("SELECT count(*) FROM samples WHERE run <> 1"));
        const Ran stats = Program("rdcsm", "stats load");
        EXPECT_EQ(1u, Count(stats.out, "statistics:")) << stats.out;
        const std::string runs = Program("rdcsm", "runs").out;
        EXPECT_NE(std::string::npos, runs.find("records 400,000  rate ")) << runs;
        EXPECT_EQ(std::string::npos, runs.find('%')) << runs;
    }
};

// The CSV source cannot count its records: the share is the host's
// estimate from the part of the file read.
TEST_F(LiveProgressTest, AServingHostSendsProgressThatRunsShowsWhileTheCopyRuns) {
    ASSERT_EQ(0, Program("rdcsm", "run load").status);
    const pid_t serve = Start("rdrun", "--serve", "serve");
    const std::string line = WatchRunning(serve);
    EXPECT_EQ(0u, line.find("run 1  load  running  started ")) << line;
    EXPECT_NE(std::string::npos, line.find('%')) << line;
    ASSERT_TRUE(WaitFor([&] {
        return rdtest::ReadFile(Path("serve.out")).find("load: ended successfully") !=
               std::string::npos;
    })) << rdtest::ReadFile(Path("serve.out"));
    kill(serve, SIGTERM);
    EXPECT_EQ(0, Ended(serve));
    CheckEnded();
}

TEST_F(LiveProgressTest, ARunInItsOwnProcessSendsProgressToo) {
    const pid_t run = Start("rdrun", "--quiet load", "run");
    const std::string line = WatchRunning(run);
    EXPECT_EQ(0u, line.find("run 1  load  running  started ")) << line;
    EXPECT_NE(std::string::npos, line.find('%')) << line;
    EXPECT_EQ(0, Ended(run)) << rdtest::ReadFile(Path("run.err"));
    CheckEnded();
}

} // namespace
} // namespace rdruntest
