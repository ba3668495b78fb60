// SPDX-License-Identifier: Apache-2.0
// Two homes of one user, each with its own rdcsm serving (detached, without
// RD_PIPE_DIR) and an activity of the same name: rdrun in each home runs its
// own home's activity.
#include "run_test_env.h"

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace rdruntest {
namespace {

// The programs and connectors a home needs, linked into it.
constexpr const char *kLinked[][2] = {
    {RDTEST_RDCSM, "rdcsm"},           {RDTEST_RDRUN, "rdrun"},       {RDTEST_RDCSV, "rdcsv.rdx"},
    {RDTEST_RDSQLITE, "rdsqlite.rdx"}, {RDTEST_RDCOPY, "rdcopy.rdx"},
};

// RunTest's job-file helpers; the homes and their servers are this test's.
class TwoHomesTest : public RunTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(0, mkdir(runtime_.c_str(), 0700));
        unsigned orders = 30;
        for (const rdtest::TempHome *home : {&home_, &other_}) {
            rdtest::WriteFile(home->Path("quarry.ini"),
                              "[Configuration]\nDirectory=" + home->Dir() + "\nKitType=2\n");
            for (const auto &[from, to] : kLinked)
                ASSERT_EQ(0, symlink(from, home->Path(to).c_str())) << to;
            MakeOrders(home->Path("orders.csv"), orders);
            orders += 40;
            const Ran started = In(*home, "rdcsm", "serve --detach");
            ASSERT_EQ(0, started.status) << started.out << started.err;
            rdtest::WriteFile(home->Path("job.toml"),
                              CsvLink("csv", home->Path("orders.csv"), kOrderColumns) +
                                  SqliteLink("db", home->Path("o.db")) +
                                  CopyActivity("load", {"csv", "db", "orders", "", 0, "stop"}));
            const Ran defined = In(*home, "rdcsm", "define '" + home->Path("job.toml") + "'");
            ASSERT_EQ(0, defined.status) << defined.err;
        }
    }
    void TearDown() override {
        for (const rdtest::TempHome *home : {&home_, &other_}) {
            In(*home, "rdcsm", "stop");
            // Wait until the home's pipe is gone, so that its folder can go.
            for (int i = 0; i < 500 && In(*home, "rdcsm", "status").status == 0; ++i)
                usleep(10000);
        }
    }

    // Runs a program of the home with the arguments (shell words).
    static Ran In(const rdtest::TempHome &home, const std::string &program,
                  const std::string &arguments) {
        Ran ran;
        ran.status =
            rdtest::Shell("'" + home.Path(program) + "' " + arguments + " >'" +
                          home.Path("out.txt") + "' 2>'" + home.Path("err.txt") + "' </dev/null");
        ran.out = rdtest::ReadFile(home.Path("out.txt"));
        ran.err = rdtest::ReadFile(home.Path("err.txt"));
        return ran;
    }

    rdtest::TempHome other_;
    std::string runtime_ = other_.Path("run");
    rdtest::ScopedEnv noChoice_{"RD_PIPE_DIR", nullptr};
    rdtest::ScopedEnv runtimeEnv_{"XDG_RUNTIME_DIR", runtime_.c_str()};
};

TEST_F(TwoHomesTest, EachHomesRdrunRunsItsOwnHomesActivity) {
    for (const rdtest::TempHome *home : {&other_, &home_}) {
        const Ran ran = In(*home, "rdrun", "load");
        ASSERT_EQ(0, ran.status) << ran.out << ran.err;
    }
    EXPECT_EQ("30\n", Db(home_.Path("o.db")).Query("SELECT count(*) FROM orders"));
    EXPECT_EQ("70\n", Db(other_.Path("o.db")).Query("SELECT count(*) FROM orders"));
    // Each home's server manager recorded its own run's statistics, once.
    for (const auto &[home, counts] :
         {std::pair{&home_, "fetch 30 insert 30\n"}, {&other_, "fetch 70 insert 70\n"}}) {
        const std::string stats = In(*home, "rdcsm", "stats load").out;
        EXPECT_NE(std::string::npos, stats.find(counts)) << stats;
        EXPECT_EQ(stats.find("statistics"), stats.rfind("statistics")) << stats;
    }
}

} // namespace
} // namespace rdruntest
