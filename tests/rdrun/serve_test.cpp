// SPDX-License-Identifier: Apache-2.0
// rdrun --serve: workers take every queued run once, and a stop ends the
// running activity cleanly.
#include "run_test_env.h"

#include <algorithm>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace rdruntest {
namespace {

class ServeTest : public RunTest {
  protected:
    // Starts `rdrun --serve ARGUMENTS` with its output in serve.txt.
    pid_t StartServe(const std::string &arguments) {
        const pid_t child = fork();
        if (child == 0) {
            const std::string command = "exec " + Path("rdrun") + " --serve " + arguments + " >" +
                                        Path("serve.txt") + " 2>&1 </dev/null";
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        return child;
    }
    // Waits until serve.txt holds `lines` lines (at most about 60 s).
    std::string WaitForLines(size_t lines) {
        std::string text;
        for (int i = 0; i < 6000; ++i, usleep(10000)) {
            text = rdtest::ReadFile(Path("serve.txt"));
            if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) break;
        }
        return text;
    }
    int Stop(pid_t child) {
        kill(child, SIGTERM);
        return rdtest::WaitExit(child);
    }
};

TEST_F(ServeTest, WorkersRunEveryQueuedRunOnce) {
    MakeOrders(Path("orders.csv"), 300);
    std::string toml = CsvLink("csv", Path("orders.csv"), kOrderColumns);
    for (int i = 1; i <= 4; ++i) {
        const std::string n = std::to_string(i);
        toml += SqliteLink("db" + n, Path("o" + n + ".db"));
        toml += CopyActivity("load" + n, {"csv", "db" + n, "orders", "", 50, "stop"});
    }
    Define(toml);
    for (int i = 1; i <= 4; ++i)
        ASSERT_EQ(0, Program("rdcsm", "run load" + std::to_string(i)).status);
    const pid_t serve = StartServe("--workers 2");
    const std::string lines = WaitForLines(4);
    EXPECT_EQ(0, Stop(serve)) << lines;
    for (int i = 1; i <= 4; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_NE(std::string::npos,
                  lines.find("load" + n + ": ended successfully: 300 records written.\n"))
            << lines;
        Db db(Path("o" + n + ".db"));
        EXPECT_EQ("300\n", db.Query("SELECT count(*) FROM orders")) << n;
    }
    // Nothing is left queued, and nothing ran twice.
    EXPECT_EQ(4, std::count(lines.begin(), lines.end(), '\n')) << lines;
}

TEST_F(ServeTest, AStopEndsTheRunningActivityCleanly) {
    MakeOrders(Path("orders.csv"), 200000);
    Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + SqliteLink("db", Path("o.db")) +
           CopyActivity("load", {"csv", "db", "orders", "", 10, "stop"}));
    ASSERT_EQ(0, Program("rdcsm", "run load").status);
    const pid_t serve = StartServe("");
    // Stop once the copy has written something.
    for (int i = 0; i < 3000; ++i, usleep(10000)) {
        Db db(Path("o.db"));
        if (db.Query("SELECT count(*) > 0 FROM orders") == "1\n") break;
    }
    EXPECT_EQ(0, Stop(serve));
    const std::string lines = rdtest::ReadFile(Path("serve.txt"));
    // The server manager's request to stop ended the copy between batches:
    // what was written is whole batches, and the run is recorded as stopped.
    EXPECT_NE(std::string::npos, lines.find("load: stopped (status 154")) << lines;
    Db db(Path("o.db"));
    const long written = std::stol(db.Query("SELECT count(*) FROM orders"));
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 200000);
    EXPECT_EQ(0, written % 10);
    EXPECT_NE(std::string::npos,
              Program("rdcsm", "list").out.find("0 running, 0 ended, 0 failed, 1 stopped"));
}

// SIGUSR1 (sent by a server manager that lost the run's lease) stops the
// run at hand only: the host takes the next queued run and serves on.
TEST_F(ServeTest, AStopOfTheRunEndsItAndTheHostServesOn) {
    MakeOrders(Path("orders.csv"), 200000);
    Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + SqliteLink("db", Path("o.db")) +
           SqliteLink("db2", Path("o2.db")) +
           CopyActivity("load", {"csv", "db", "orders", "", 10, "stop"}) +
           CopyActivity("load2", {"csv", "db2", "orders", "", 0, "stop"}));
    ASSERT_EQ(0, Program("rdcsm", "run load").status);
    ASSERT_EQ(0, Program("rdcsm", "run load2").status);
    const pid_t serve = StartServe("");
    ASSERT_TRUE(WaitFor(
        [&] { return Db(Path("o.db")).Query("SELECT count(*) > 0 FROM orders") == "1\n"; }));
    ASSERT_EQ(0, kill(serve, SIGUSR1));
    ASSERT_TRUE(WaitFor([&] {
        return rdtest::ReadFile(Path("serve.txt")).find("load2: ended successfully") !=
               std::string::npos;
    })) << rdtest::ReadFile(Path("serve.txt"));
    EXPECT_EQ(0, Stop(serve));
    const std::string lines = rdtest::ReadFile(Path("serve.txt"));
    EXPECT_NE(std::string::npos, lines.find("load: stopped (status 154")) << lines;
    EXPECT_EQ("200000\n", Db(Path("o2.db")).Query("SELECT count(*) FROM orders"));
}

TEST_F(ServeTest, NameAndServeExcludeEachOther) {
    EXPECT_EQ(64, Rdrun("--serve load").status);
    EXPECT_EQ(64, Rdrun("--workers 0 --serve").status);
}

} // namespace
} // namespace rdruntest
