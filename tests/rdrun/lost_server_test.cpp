// SPDX-License-Identifier: Apache-2.0
// A server manager or a host killed with SIGKILL in the middle of a run: the
// host that lost its server manager waits no longer than its time-out and
// says that the run's end was not recorded; a run whose host died is
// queued again to resume, while rdcsm serves and when it starts again; the
// run of a host that lives on (stopped, or outliving a restart of rdcsm) is
// left to it.
#include "run_test_env.h"

#include "rdplat_ipc.h"

#include <chrono>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace rdruntest {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto npos = std::string::npos;

class LostServerTest : public RunTest {
  protected:
    void SetUp() override {
        RunTest::SetUp();
        MakeOrders(Path("orders.csv"), kOrders);
        Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + SqliteLink("db", Path("o.db")) +
               SqliteLink("db2", Path("o2.db")) +
               CopyActivity("load", {"csv", "db", "orders", "", 100, "stop"}) +
               CopyActivity("load2", {"csv", "db2", "orders", "", 100, "stop"}));
    }
    void TearDown() override {
        if (host_ > 0) {
            kill(host_, SIGKILL);
            waitpid(host_, nullptr, 0);
        }
        RunTest::TearDown();
    }

    // Starts `rdrun ARGUMENTS` with its output in host.txt.
    void StartHost(const std::string &arguments) {
        host_ = fork();
        if (host_ == 0) {
            const std::string command = "exec " + Path("rdrun") + " " + arguments + " >" +
                                        Path("host.txt") + " 2>/dev/null </dev/null";
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
    }
    // The host's exit status; -1 (the host killed) when it has not ended
    // within seconds.
    int WaitForHost(int seconds) {
        int status = 0;
        for (int i = 0; i < seconds * 100; ++i, usleep(10000)) {
            if (waitpid(host_, &status, WNOHANG) == host_) {
                host_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
        }
        return -1;
    }
    void KillServer() {
        ASSERT_EQ(0, kill(server_, SIGKILL));
        waitpid(server_, nullptr, 0);
        server_ = -1;
    }
    void StartServer() {
        server_ = fork();
        if (server_ == 0) {
            const std::string program = Path("rdcsm");
            execl(program.c_str(), program.c_str(), "serve", static_cast<char *>(nullptr));
            _exit(127);
        }
        // It answers once it has looked for lost hosts.
        for (int i = 0; i < 2000 && Program("rdcsm", "status").status != 0; ++i)
            usleep(10000);
    }
    long Copied(const char *target = "o.db") {
        Db db(Path(target));
        const std::string count = db.Query("SELECT count(*) FROM orders");
        return count.empty() || count[0] < '0' || count[0] > '9' ? 0 : std::stol(count);
    }
    // Stops the host once it has copied something, and kills it.
    void KillHostWhileCopying(const std::string &name, const char *target) {
        ASSERT_TRUE(WaitFor([&] { return Copied(target) > 0; }));
        ASSERT_EQ(0, kill(host_, SIGSTOP));
        EXPECT_NE(npos, Runs(name).find("1 running")) << Runs(name);
        ASSERT_EQ(0, kill(host_, SIGKILL));
        waitpid(host_, nullptr, 0);
        host_ = -1;
    }
    // The line of `rdcsm list` of the activity.
    std::string Runs(const std::string &name = "load") {
        const std::string list = Program("rdcsm", "list").out;
        const std::size_t at = list.find("activity " + name + " ");
        return at == npos ? list : list.substr(at, list.find('\n', at) - at);
    }

    static constexpr unsigned kOrders = 100000;
    pid_t host_ = -1;
};

TEST_F(LostServerTest, AHostWhoseServerManagerWasKilledSaysSoWithinItsTimeOut) {
    StartHost("--no-progress load");
    ASSERT_TRUE(WaitFor([&] { return Copied() > 0; }));
    KillServer();
    // The copy goes on without the server manager; from its last batch on,
    // what is left is telling the server manager of the end.
    ASSERT_TRUE(WaitFor([&] { return Copied() == kOrders; }));
    const Clock::time_point copied = Clock::now();
    EXPECT_EQ(1, WaitForHost(60));
    const double waited = std::chrono::duration<double>(Clock::now() - copied).count();
    EXPECT_LT(waited, 5 + 1); // the answer's wait, 5 s, and a second
    const std::string out = rdtest::ReadFile(Path("host.txt"));
    EXPECT_EQ(npos, out.find("Ended successfully")) << out;
    const std::string last = "the run's end could not be recorded: the server manager did not "
                             "answer\n";
    ASSERT_GE(out.size(), last.size());
    EXPECT_EQ(last, out.substr(out.size() - last.size())) << out;
}

TEST_F(LostServerTest, AFailedRunWhoseEndWasNotRecordedTellsBoth) {
    // The last record's amount is not a number: the copy fails at its end.
    rdtest::WriteFile(Path("bad.csv"), rdtest::ReadFile(Path("orders.csv")) +
                                           "100001,1.0x,2026-01-01 10:00:00,bad amount\n");
    Define(CsvLink("bad", Path("bad.csv"), kOrderColumns) + SqliteLink("db3", Path("o3.db")) +
           CopyActivity("loadbad", {"bad", "db3", "orders", "", 100, "stop"}));
    StartHost("--no-progress loadbad");
    ASSERT_TRUE(WaitFor([&] { return Copied("o3.db") > 0; }));
    KillServer();
    EXPECT_EQ(1, WaitForHost(60));
    const std::string out = rdtest::ReadFile(Path("host.txt"));
    const std::size_t last = out.rfind("Failed (status 12330): line 100002 of ");
    ASSERT_NE(npos, last) << out;
    EXPECT_NE(npos, out.find("; the run's end could not be recorded: the server manager did not "
                             "answer\n",
                             last))
        << out;
}

// A queued run whose host was killed is queued again to resume, and the
// next host goes on after its last committed batch.
TEST_F(LostServerTest, TheRunsOfKilledHostsAreQueuedAgainAndResumed) {
    // Killed while rdcsm serves: found by one of its looks.
    ASSERT_EQ(0, Program("rdcsm", "run load").status);
    StartHost("--serve");
    KillHostWhileCopying("load", "o.db");
    EXPECT_TRUE(WaitFor([&] {
        return Runs().find("1 queued, 0 running, 0 ended, 0 failed, 0 stopped, 0 lost") != npos;
    })) << Runs();
    // Killed while rdcsm is down: found before the restarted rdcsm answers.
    ASSERT_EQ(0, Program("rdcsm", "run load2").status);
    StartHost("--serve");
    ASSERT_TRUE(WaitFor([&] { return Copied("o2.db") > 0; }));
    KillServer();
    KillHostWhileCopying("load2", "o2.db");
    StartServer();
    EXPECT_NE(npos,
              Runs("load2").find("runs: 1 queued, 0 running, 0 ended, 0 failed, 0 stopped, 0 lost"))
        << Runs("load2");
    // A new host resumes both; each target ends with every order once.
    StartHost("--serve");
    for (const char *name : {"load", "load2"})
        EXPECT_TRUE(WaitFor([&] {
            return Runs(name).find("0 queued, 0 running, 1 ended, 0 failed") != npos;
        })) << Runs(name);
    for (const char *target : {"o.db", "o2.db"})
        EXPECT_EQ(std::to_string(kOrders) + "|" + std::to_string(kOrders) + "\n",
                  Db(Path(target)).Query("SELECT count(*), count(DISTINCT id) FROM orders"));
    const std::string log = Log("load");
    EXPECT_NE(npos, log.find("Run 1 lost its worker (process ")) << log;
    EXPECT_NE(npos, log.find("; it is queued again and resumes after its last committed batch."))
        << log;
    EXPECT_NE(npos, log.find("Resuming load after ")) << log;
    EXPECT_NE(npos, Program("rdcsm", "runs load").out.find("  claim 2  "))
        << Program("rdcsm", "runs load").out;
}

TEST_F(LostServerTest, TheRunOfAHostThatLivesOnIsNotTakenForLost) {
    ASSERT_EQ(0, Program("rdcsm", "run load").status);
    StartHost("--serve");
    ASSERT_TRUE(WaitFor([&] { return Copied() > 0; }));
    // Stopped, the host lives on through a restart of rdcsm and its looks.
    ASSERT_EQ(0, kill(host_, SIGSTOP));
    KillServer();
    StartServer();
    sleep(3); // past a look of the serving rdcsm (every 2 s)
    EXPECT_NE(npos, Runs().find("0 queued, 1 running, 0 ended, 0 failed, 0 stopped, 0 lost"))
        << Runs();
    ASSERT_EQ(0, kill(host_, SIGCONT));
    EXPECT_TRUE(
        WaitFor([&] { return rdtest::ReadFile(Path("host.txt")).find("load: ended") != npos; }));
    EXPECT_NE(npos, Runs().find("0 queued, 0 running, 1 ended, 0 failed, 0 stopped, 0 lost"))
        << Runs();
    EXPECT_EQ(kOrders, Copied());
}

// A host serving a queue while its server manager is killed at random
// moments and started again a second later: the host waits for it instead
// of ending, tells every run's end once it is back, never calls a run a
// success that the server manager did not record, and no run stays
// "running".
TEST_F(LostServerTest, AQueueOutlivesRestartsOfItsServerManager) {
    constexpr int kRuns = 20;
    std::string toml;
    for (int i = 0; i < kRuns; ++i) {
        const std::string n = std::to_string(i);
        toml += SqliteLink("t" + n, Path("t" + n + ".db")) +
                CopyActivity("run" + n, {"csv", "t" + n, "orders", "", 1000, "stop"});
    }
    Define(toml);
    for (int i = 0; i < kRuns; ++i)
        ASSERT_EQ(0, Program("rdcsm", "run run" + std::to_string(i)).status);
    StartHost("--serve --workers 2");
    std::mt19937 random(static_cast<unsigned>(std::random_device()()));
    // The first loss comes while the queue is surely still running (its 20
    // copies take seconds, however fast), so that the host has to wait.
    std::uniform_int_distribution<int> pause(50, 400);
    for (int kill = 0; kill < 6; ++kill) {
        usleep(static_cast<useconds_t>(pause(random)) * 1000);
        KillServer();
        sleep(1);
        StartServer();
    }
    // The queue is done, and every end the host could not record when its
    // run ended has been told again (it does so while it idles).
    ASSERT_TRUE(WaitFor([&] {
        const std::string told = rdtest::ReadFile(Path("host.txt"));
        return Program("rdcsm", "list").out.find("  runs: 0 queued, 0 running, ") != npos &&
               Count(told, "end could not be recorded") == Count(told, "end is recorded now");
    })) << Program("rdcsm", "list").out
        << rdtest::ReadFile(Path("host.txt"));
    kill(host_, SIGTERM);
    EXPECT_EQ(0, WaitForHost(60));
    const std::string out = rdtest::ReadFile(Path("host.txt"));
    for (int i = 0; i < kRuns; ++i) {
        const std::string name = "run" + std::to_string(i);
        SCOPED_TRACE(name);
        const std::string stats = Program("rdcsm", "stats " + name).out;
        EXPECT_EQ(npos, stats.find("running")) << stats;
        // Success is only said of a run that the server manager recorded
        // as ended well; an end told late is said to be so.
        if (out.find(name + ": ended successfully") != npos) {
            EXPECT_NE(npos, stats.find("end code 0")) << stats;
            EXPECT_EQ(kOrders,
                      static_cast<unsigned>(Copied(("t" + name.substr(3) + ".db").c_str())));
        }
        if (out.find(name + ": failed") != npos &&
            out.find(name + ": the run's end is recorded now") == npos) {
            EXPECT_NE(npos, stats.find("  lost  ")) << stats << out;
        }
    }
    EXPECT_NE(npos, out.find("waiting for it")) << out;
}

} // namespace
} // namespace rdruntest
