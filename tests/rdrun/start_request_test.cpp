// SPDX-License-Identifier: Apache-2.0
// How a run is asked to start reaches the activity's process as its
// environment: RDX_RESUME and RDX_FULL_REFRESH set to "1" for the run that
// asked, and cleared for every other, whether rdrun runs the activity itself
// or a serving host takes a run queued by `rdcsm run`.
#include "run_test_env.h"

#include <csignal>
#include <unistd.h>

namespace rdruntest {
namespace {

constexpr const char *kNeither = "Asked: RDX_RESUME=-, RDX_FULL_REFRESH=-.";
constexpr const char *kRefresh = "Asked: RDX_RESUME=-, RDX_FULL_REFRESH=1.";
constexpr const char *kResume = "Asked: RDX_RESUME=1, RDX_FULL_REFRESH=-.";

class StartRequestTest : public RunTest {
  protected:
    void SetUp() override {
        RunTest::SetUp();
        Define("[activity.tell]\nconnector = \"rdteller\"\n");
    }
    // The "Asked:" lines of the activity's log, in order.
    std::string Asked() const {
        std::string asked;
        const std::string log = Log("tell");
        for (size_t at = log.find("Asked: "); at != std::string::npos;
             at = log.find("Asked: ", at + 1))
            asked += log.substr(at, log.find('\n', at) - at) + "\n";
        return asked;
    }
};

TEST_F(StartRequestTest, RdrunSetsTheVariableOfItsOptionOnly) {
    // A variable left in rdrun's own environment does not reach a run that
    // did not ask for it.
    rdtest::ScopedEnv stray("RDX_FULL_REFRESH", "1");
    for (const char *options : {"--full-refresh", "--resume", ""})
        ASSERT_EQ(0, Rdrun(std::string(options) + " tell").status) << options;
    EXPECT_EQ(std::string(kRefresh) + "\n" + kResume + "\n" + kNeither + "\n", Asked());
}

TEST_F(StartRequestTest, FullRefreshWithResumeOrServeIsAUsageError) {
    for (const char *arguments :
         {"--full-refresh --resume tell", "--serve --full-refresh", "--layout F --full-refresh"}) {
        const Ran ran = Rdrun(arguments);
        EXPECT_EQ(64, ran.status) << arguments;
        EXPECT_NE(std::string::npos, ran.err.find("--full-refresh")) << arguments << ran.err;
    }
    const Ran both = Program("rdcsm", "run --full-refresh --resume tell");
    EXPECT_EQ(64, both.status) << both.err;
    EXPECT_NE(std::string::npos, both.err.find("does not go with --resume")) << both.err;
    // Nothing ran and nothing was queued.
    EXPECT_EQ("", Asked());
    EXPECT_EQ(std::string::npos, Program("rdcsm", "runs tell").out.find("queued"));
}

// The host sets each queued run's own request and clears it for the next.
TEST_F(StartRequestTest, AServingHostStartsEachQueuedRunAsItWasQueued) {
    const Ran refresh = Program("rdcsm", "run --full-refresh tell");
    ASSERT_EQ(0, refresh.status) << refresh.err;
    EXPECT_NE(std::string::npos, refresh.out.find("(to start again from nothing)")) << refresh.out;
    for (const char *options : {"run tell", "run --resume tell", "run --full-refresh tell"})
        ASSERT_EQ(0, Program("rdcsm", options).status) << options;
    const pid_t serve = Start("rdrun", "--serve", "serve");
    ASSERT_TRUE(WaitFor([&] { return Count(rdtest::ReadFile(Path("serve.out")), "\n") >= 4; }));
    kill(serve, SIGTERM);
    EXPECT_EQ(0, Ended(serve));
    EXPECT_EQ(std::string(kRefresh) + "\n" + kNeither + "\n" + kResume + "\n" + kRefresh + "\n",
              Asked());
}

} // namespace
} // namespace rdruntest
