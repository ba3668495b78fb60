// SPDX-License-Identifier: Apache-2.0
// Clients taken off a server instance as handles of their own, and the
// descriptors that tell when there is something to take or to read.
#include "ipc_test_util.h"

#include <poll.h>
#include <pwd.h>
#include <thread>

namespace {

using namespace ipctest;

bool Readable(int fd, int milliseconds = 0) {
    pollfd state{fd, POLLIN, 0};
    return poll(&state, 1, milliseconds) == 1;
}

TEST(IpcTake, ClientsAreTakenAsConnectionsOfTheirOwnWhileTheInstanceListens) {
    rdtest::TempHome home;
    RDIPCHandle server = RDIPCCreate("take");
    ASSERT_NE(server, nullptr);
    ASSERT_EQ(RDIPCSetNoWait(server), 1);
    const int listening = RDIPCDescriptor(server);
    ASSERT_GE(listening, 0);
    EXPECT_FALSE(Readable(listening));
    EXPECT_EQ(RDIPCTakeClient(server), nullptr); // nobody waits

    RDIPCHandle first = RDIPCOpen("take", 0), second = RDIPCOpen("take", 0);
    EXPECT_TRUE(Readable(listening));
    RDIPCHandle a = RDIPCTakeClient(server), b = RDIPCTakeClient(server);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(Readable(listening));
    EXPECT_EQ(RDIPCTakeClient(server), nullptr);

    // Each descriptor tells of its own client only.
    EXPECT_FALSE(Readable(RDIPCDescriptor(b)));
    ASSERT_TRUE(Send(second, "to b"));
    EXPECT_TRUE(Readable(RDIPCDescriptor(b)));
    EXPECT_FALSE(Readable(RDIPCDescriptor(a)));
    EXPECT_EQ(ReadWhole(b, 64), "to b");
    ASSERT_TRUE(Send(b, "answer"));
    EXPECT_EQ(ReadWhole(second, 64), "answer");
    EXPECT_EQ(RDIPCPeerProcess(a), static_cast<uint32_t>(getpid()));
    EXPECT_EQ(RDIPCDisconnect(a), 0); // a connection, not an instance

    // A client that leaves makes its descriptor readable; the read sees it gone.
    RDIPCClose(first);
    EXPECT_TRUE(Readable(RDIPCDescriptor(a)));
    EXPECT_EQ(ReadWhole(a, 1), "<failed>");

    // An instance serves its own client as before.
    RDIPCHandle instance = RDIPCCreate("take"), third = RDIPCOpen("take", 0);
    ASSERT_EQ(RDIPCWaitForConnection(instance), instance);
    EXPECT_NE(RDIPCDescriptor(instance), listening); // now its client's
    ASSERT_TRUE(Send(third, "instance"));
    EXPECT_EQ(ReadWhole(instance, 64), "instance");

    EXPECT_EQ(RDIPCTakeClient(third), nullptr); // a client handle takes nobody
    EXPECT_EQ(RDIPCTakeClient(nullptr), nullptr);
    EXPECT_EQ(RDIPCDescriptor(nullptr), -1);
    for (RDIPCHandle pipe : {a, b, second, third, instance})
        RDIPCClose(pipe);
    RDIPCClose(server);
    EXPECT_FALSE(FileExists(home.Path("pipes/take")));
}

// A blocking take waits for its client; shutting the listening socket down
// ends every such wait and refuses later clients.
TEST(IpcTake, ABlockingTakeWaitsUntilAClientComesOrTheListeningEnds) {
    rdtest::TempHome home;
    RDIPCHandle server = RDIPCCreate("wait");
    RDIPCHandle taken = nullptr;
    std::thread taker([&] { taken = RDIPCTakeClient(server); });
    RDIPCHandle client = RDIPCOpen("wait", 0);
    ASSERT_TRUE(Send(client, "hello"));
    taker.join();
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(ReadWhole(taken, 64), "hello");

    std::vector<std::thread> waiting;
    std::atomic<int> ended{0};
    for (int i = 0; i < 3; ++i)
        waiting.emplace_back([&] {
            if (RDIPCTakeClient(server) == nullptr) ++ended;
        });
    ASSERT_EQ(shutdown(RDIPCDescriptor(server), SHUT_RD), 0);
    for (std::thread &thread : waiting)
        thread.join();
    EXPECT_EQ(ended.load(), 3);
    EXPECT_EQ(RDIPCOpen("wait", 0), nullptr);
    for (RDIPCHandle pipe : {taken, client, server})
        RDIPCClose(pipe);
    EXPECT_FALSE(FileExists(home.Path("pipes/wait")));
}

// A handle that cannot be allocated lets the client go: it sees the close,
// and no descriptor is left open.
TEST(IpcTake, AFailedAllocationLetsTheClientGo) {
    rdtest::TempHome home;
    RDIPCHandle server = RDIPCCreate("scarce");
    RDIPCHandle client = RDIPCOpen("scarce", 0), taken = nullptr;
    const int before = OpenDescriptors();
    EXPECT_GT(rdtest::ForEachAllocationFailure(
                  [&] { return (taken = RDIPCTakeClient(server)) != nullptr ? 0u : 1u; },
                  [&](uint32_t) {
                      EXPECT_EQ(ReadWhole(client, 1), "<failed>");
                      RDIPCClose(client);
                      EXPECT_EQ(OpenDescriptors(), before - 1);
                      client = RDIPCOpen("scarce", 0);
                  }),
              0);
    ASSERT_NE(taken, nullptr);
    ASSERT_TRUE(Send(client, "after all"));
    EXPECT_EQ(ReadWhole(taken, 64), "after all");
    for (RDIPCHandle pipe : {taken, client, server})
        RDIPCClose(pipe);
}

TEST(IpcTake, APeerOfAnotherUserIsNotTaken) {
    passwd *nobody = getpwnam("nobody");
    if (geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "needs root and the user nobody";
    rdtest::TempHome home;
    RDIPCHandle server = RDIPCCreate("guarded");
    ASSERT_EQ(RDIPCSetNoWait(server), 1); // a take returns once the stranger is gone
    const std::string path = home.Path("pipes/guarded");
    ASSERT_EQ(chmod(home.Dir().c_str(), 0711) + chmod(home.Path("pipes").c_str(), 0711), 0);
    ASSERT_EQ(chmod(path.c_str(), 0777), 0);
    int connected[2];
    ASSERT_EQ(pipe(connected), 0);
    pid_t stranger = rdtest::Spawn([&] {
        if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) return 3;
        int fd = RawSocket(path);
        if (fd < 0) return 4;
        char byte = 0;
        if (write(connected[1], &byte, 1) != 1) return 5;
        timeval limit{10, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ssize_t got = recv(fd, &byte, 1, 0); // turned away: ends, no answer
        return got == 0 || (got < 0 && errno == ECONNRESET) ? 0 : 6;
    });
    char byte = 0;
    ASSERT_EQ(read(connected[0], &byte, 1), 1);
    ASSERT_TRUE(Readable(RDIPCDescriptor(server), 10000));
    EXPECT_EQ(RDIPCTakeClient(server), nullptr);
    EXPECT_EQ(rdtest::WaitExit(stranger), 0);
    RDIPCHandle client = RDIPCOpen("guarded", 0);
    RDIPCHandle taken = RDIPCTakeClient(server);
    ASSERT_NE(taken, nullptr);
    ASSERT_TRUE(Send(client, "friend"));
    EXPECT_EQ(ReadWhole(taken, 64), "friend");
    for (RDIPCHandle pipe : {taken, client, server})
        RDIPCClose(pipe);
    close(connected[0]);
    close(connected[1]);
}

} // namespace
