// SPDX-License-Identifier: Apache-2.0
// status and stop against a server of the pipe that takes each request and
// never answers: both give up after their wait and say why.
#include "../values/rdx_test_env.h"
#include "tool_env.h"

#include "rdplat_ipc.h"

#include <atomic>
#include <thread>

namespace rdcsmtest {
namespace {

class SilentServerTest : public rdxtest::SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        server_ = RDIPCCreate("RDCSMP");
        ASSERT_NE(nullptr, server_);
        thread_ = std::thread([this] { Take(); });
    }
    void TearDown() override {
        done_ = true;
        RDIPCClose(RDIPCOpen("RDCSMP", 1)); // wakes the thread's wait
        thread_.join();
        RDIPCClose(server_);
        SystemTest::TearDown();
    }
    // Reads each request and then only waits for the client to go.
    void Take() {
        while (!done_) {
            if (RDIPCWaitForConnection(server_) == nullptr) return;
            char buffer[4096];
            uint32_t got = 0, more = 0;
            if (RDIPCRead(server_, buffer, sizeof buffer, &got, &more) != 0) {
                ++requests_;
                while (RDIPCRead(server_, buffer, sizeof buffer, &got, &more) != 0) {
                }
            }
            RDIPCDisconnect(server_);
        }
    }

    RDIPCHandle server_ = nullptr;
    std::thread thread_;
    std::atomic<bool> done_{false};
    std::atomic<int> requests_{0};
};

TEST_F(SilentServerTest, StatusAndStopGiveUpAfterTheirWait) {
    for (const char *command : {"status", "stop"}) {
        const ToolRun run = RunTool(home_, std::string(command) + " --wait-ms 300");
        EXPECT_EQ(1, run.status) << command;
        EXPECT_NE(std::string::npos, run.err.find("the server manager took the request but gave "
                                                  "no answer within 300 ms"))
            << command << ": " << run.err;
    }
    EXPECT_EQ(2, requests_);
}

// Without a pipe there is nothing to wait for.
TEST(RdcsmWait, NoServerIsToldAtOnce) {
    rdtest::TempHome home;
    home.WriteQuarryIni();
    ToolRun run = RunTool(home, "status");
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("no server manager is running for the home " + home.Dir() + "\n", run.out);
    run = RunTool(home, "stop");
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("no server manager is running")) << run.err;
}

} // namespace
} // namespace rdcsmtest
