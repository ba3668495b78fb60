// SPDX-License-Identifier: Apache-2.0
// Server managers of two homes of one user, detached, without RD_PIPE_DIR:
// each home's pipe folder is its own, each tool reaches its own home's
// server manager, and a detached start that does not serve exits non-zero
// with the reason.
#include "rdcsm_test_env.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace rdcsmtest {
namespace {

// The number that follows text in out; 0 without one.
pid_t NumberAfter(const std::string &out, const std::string &text) {
    const std::size_t at = out.find(text);
    return at == std::string::npos ? 0 : std::atoi(out.c_str() + at + text.size());
}

class DetachTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(0, mkdir(runtime_.c_str(), 0700));
        first_.WriteQuarryIni();
        second_.WriteQuarryIni();
    }
    void TearDown() override {
        std::string out;
        noChoice_.Set(nullptr);
        for (const rdtest::TempHome *home : {&first_, &second_})
            Rdcsm(*home, "stop", out);
        // Detached servers are not children of the test: wait until they are gone.
        for (pid_t pid : started_)
            for (int i = 0; i < 1000 && Alive(pid); ++i)
                usleep(10000);
    }

    // Neither ended nor a zombie.
    static bool Alive(pid_t pid) {
        const std::string stat = rdtest::ReadFile("/proc/" + std::to_string(pid) + "/stat");
        return !stat.empty() && stat.find(") Z ") == std::string::npos;
    }

    // Runs rdcsm as a user of the home does (its quarry.ini found on PATH);
    // the exit status, and standard output and error in out.
    static int Rdcsm(const rdtest::TempHome &home, const std::string &arguments, std::string &out) {
        const std::string output = home.Path("tool.out");
        const int status = rdtest::Shell("PATH='" + home.Dir() + "':\"$PATH\" '" + RDCSM_PROGRAM +
                                         "' " + arguments + " >'" + output + "' 2>&1");
        out = rdtest::ReadFile(output);
        return status;
    }

    // Starts the home's server manager detached; its process id (0 when the
    // start failed).
    pid_t Detach(const rdtest::TempHome &home) {
        std::string out;
        const int status = Rdcsm(home, "serve --detach --timeout-ms 500", out);
        const pid_t server = status == 0 ? NumberAfter(out, "serving in process ") : 0;
        if (server == 0) {
            ADD_FAILURE() << out;
            return 0;
        }
        started_.push_back(server);
        return server;
    }

    // The process that `rdcsm status` of the home reports (0: none).
    static pid_t StatusProcess(const rdtest::TempHome &home, std::string &out) {
        return Rdcsm(home, "status", out) == 0 ? NumberAfter(out, "running in process ") : 0;
    }

    rdtest::TempHome first_, second_;
    std::string runtime_ = first_.Path("run");
    rdtest::ScopedEnv noChoice_{"RD_PIPE_DIR", nullptr};
    rdtest::ScopedEnv runtimeEnv_{"XDG_RUNTIME_DIR", runtime_.c_str()};
    std::vector<pid_t> started_;
};

TEST_F(DetachTest, TwoHomesServeAtOnceEachToolReachingItsOwn) {
    const pid_t first = Detach(first_);
    const pid_t second = Detach(second_);
    ASSERT_NE(0, first);
    ASSERT_NE(0, second);
    EXPECT_NE(first, second);
    std::string out;
    rdtest::WriteFile(second_.Path("job.toml"), "[activity.a]\n5 = 1\n[activity.b]\n5 = 2\n");
    ASSERT_EQ(0, Rdcsm(second_, "define '" + second_.Path("job.toml") + "'", out)) << out;
    EXPECT_EQ(first, StatusProcess(first_, out)) << out;
    EXPECT_NE(std::string::npos, out.find("0 activities")) << out;
    EXPECT_EQ(second, StatusProcess(second_, out)) << out;
    EXPECT_NE(std::string::npos, out.find("2 activities")) << out;

    // Stopping one home's server manager leaves the other's serving.
    ASSERT_EQ(0, Rdcsm(second_, "stop", out)) << out;
    for (int i = 0; i < 500 && StatusProcess(second_, out) != 0; ++i)
        usleep(10000);
    EXPECT_EQ(0, StatusProcess(second_, out)) << out;
    EXPECT_EQ(first, StatusProcess(first_, out)) << out;
}

TEST_F(DetachTest, AStartThatDoesNotServeExitsNonZeroWithTheReason) {
    const pid_t first = Detach(first_);
    ASSERT_NE(0, first);
    std::string out;
    EXPECT_NE(0, Rdcsm(first_, "serve --detach", out));
    EXPECT_NE(std::string::npos, out.find("a server manager serves the pipe RDCSMP already "
                                          "(process " +
                                          std::to_string(first) + ")"))
        << out;
    EXPECT_EQ(std::string::npos, out.find("serving in process")) << out;
    EXPECT_EQ(first, StatusProcess(first_, out)) << out;

    // The child's own failure reaches the caller.
    EXPECT_NE(0,
              Rdcsm(second_, "--db '" + second_.Path("none/rdcsm.db") + "' serve --detach", out));
    EXPECT_NE(std::string::npos, out.find("cannot open the database " + second_.Path("none/")))
        << out;
    ASSERT_EQ(0, chmod((runtime_ + "/rdx").c_str(), 0777));
    EXPECT_NE(0, Rdcsm(second_, "serve --detach", out));
    EXPECT_NE(std::string::npos,
              out.find("the pipe folder " + runtime_ + "/rdx can be written by others"))
        << out;
    EXPECT_NE(std::string::npos, out.find("set RD_PIPE_DIR")) << out;
    ASSERT_EQ(0, chmod((runtime_ + "/rdx").c_str(), 0700));

    // Two homes that share one folder by RD_PIPE_DIR share one pipe: the
    // second home's start is refused instead of reported as serving.
    const std::string shared = runtime_ + "/shared";
    ASSERT_EQ(0, mkdir(shared.c_str(), 0700));
    noChoice_.Set(shared.c_str());
    const pid_t sharing = Detach(second_);
    ASSERT_NE(0, sharing);
    EXPECT_NE(0, Rdcsm(first_, "serve --detach", out));
    EXPECT_NE(std::string::npos, out.find("(process " + std::to_string(sharing) + ")")) << out;
    EXPECT_EQ(sharing, StatusProcess(first_, out)) << out;
    EXPECT_EQ(0, Rdcsm(first_, "stop", out)) << out;
}

} // namespace
} // namespace rdcsmtest
