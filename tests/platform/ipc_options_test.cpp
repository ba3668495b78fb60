// SPDX-License-Identifier: Apache-2.0
// Settings of one connection: the bound on waits for a silent peer, and the
// process id of the peer.
#include "ipc_test_util.h"

#include <sys/wait.h>

namespace {

using namespace ipctest;

TEST(IpcOptions, ABoundedReadOfASilentPeerFailsWithinItsTimeOut) {
    rdtest::TempHome home;
    RDIPCHandle server = RDIPCCreate("p");
    ASSERT_NE(server, nullptr);
    RDIPCHandle client = RDIPCOpen("p", 0);
    ASSERT_NE(client, nullptr);
    ASSERT_EQ(RDIPCSetTimeout(client, 200), 1);
    char buffer[16];
    uint32_t got = 0, more = 0;
    const Clock::time_point start = Clock::now();
    // The server never answers: the request goes out, the answer never comes.
    EXPECT_EQ(RDIPCTransact(client, "ask", 3, buffer, sizeof buffer, &got, &more), 0);
    const double waited = SecondsSince(start);
    EXPECT_GE(waited, 0.15);
    EXPECT_LT(waited, 2.0);
    // The bound stays with the connection; an answer within it is read.
    ASSERT_EQ(RDIPCWaitForConnection(server), server);
    EXPECT_EQ(ReadWhole(server, 16), "ask");
    ASSERT_TRUE(Send(server, "late"));
    EXPECT_EQ(RDIPCRead(client, buffer, sizeof buffer, &got, &more), 1);
    EXPECT_EQ(std::string(buffer, got), "late");
    // 0 lifts the bound; a handle without a connection takes none.
    EXPECT_EQ(RDIPCSetTimeout(client, 0), 1);
    EXPECT_EQ(RDIPCSetTimeout(nullptr, 10), 0);
    RDIPCClose(client);
    RDIPCClose(server);
}

TEST(IpcOptions, EachSideSeesTheOthersProcess) {
    rdtest::TempHome home;
    RDIPCHandle server = RDIPCCreate("p");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(RDIPCPeerProcess(server), 0u); // no client yet
    const pid_t child = fork();
    if (child == 0) {
        // The child connects, says its process id, and waits for the close.
        RDIPCHandle client = RDIPCOpen("p", 5);
        std::string pid = std::to_string(getpid());
        uint32_t written = 0, got = 0, more = 0;
        char buffer[16];
        bool ok = client != nullptr &&
                  RDIPCWrite(client, pid.data(), static_cast<uint32_t>(pid.size()), &written) &&
                  RDIPCPeerProcess(client) == static_cast<uint32_t>(getppid());
        RDIPCRead(client, buffer, sizeof buffer, &got, &more);
        _exit(ok ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    ASSERT_EQ(RDIPCWaitForConnection(server), server);
    EXPECT_EQ(ReadWhole(server, 16), std::to_string(child));
    EXPECT_EQ(RDIPCPeerProcess(server), static_cast<uint32_t>(child));
    RDIPCDisconnect(server);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(RDIPCPeerProcess(nullptr), 0u);
    RDIPCClose(server);
}

} // namespace
