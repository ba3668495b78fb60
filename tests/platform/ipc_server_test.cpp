// SPDX-License-Identifier: Apache-2.0
// Server instances: connecting, polling, serving one client after another,
// misbehaving and foreign peers, and a server in another process.
#include "ipc_test_util.h"

#include <pwd.h>
#include <thread>

namespace {

using namespace ipctest;

TEST(IpcServer, NonBlockingInstancePollsForTheFirstRequest) {
    rdtest::TempHome home;
    RDIPCHandle server = RDIPCCreate("poll");
    ASSERT_EQ(RDIPCSetNoWait(server), 1);
    EXPECT_EQ(RDIPCAllowClientConnections(server), 1); // listening, nobody there
    EXPECT_EQ(RDIPCWaitForConnection(server), server);
    EXPECT_EQ(RDIPCCheckForConnection(server), nullptr);
    RDIPCHandle client = RDIPCOpen("poll", 0);
    EXPECT_EQ(RDIPCCheckForConnection(server), nullptr); // connected, nothing written
    ASSERT_TRUE(Send(client, "hello"));
    EXPECT_EQ(RDIPCCheckForConnection(server), server);
    EXPECT_EQ(ReadWhole(server, 64), "hello");
    RDIPCClose(client);
    RDIPCClose(server);
}

TEST(IpcServer, DisconnectServesTheNextClientAndCloseEqualsShutdown) {
    rdtest::TempHome home;
    RDIPCHandle server = RDIPCCreate("next");
    for (int round = 0; round < 3; ++round) {
        RDIPCHandle client = RDIPCOpen("next", 0);
        EXPECT_EQ(RDIPCDisconnect(client), 0); // only a server instance disconnects
        ASSERT_EQ(RDIPCWaitForConnection(server), server);
        ASSERT_TRUE(Send(client, Pattern(10, round)));
        EXPECT_EQ(ReadWhole(server, 64), Pattern(10, round));
        EXPECT_EQ(RDIPCDisconnect(server), 1);
        EXPECT_EQ(ReadWhole(client, 1), "<failed>"); // the server hung up
        EXPECT_EQ(round == 1 ? RDIPCShutdown(client) : RDIPCClose(client), 1);
    }
    EXPECT_TRUE(FileExists(home.Path("pipes/next")));
    EXPECT_EQ(RDIPCShutdown(server), 1);
    EXPECT_FALSE(FileExists(home.Path("pipes/next"))); // the last instance removes it
}

TEST(IpcServer, AtMost255InstancesEachServingItsOwnClient) {
    rdtest::TempHome home;
    std::vector<RDIPCHandle> servers, clients;
    for (int i = 0; i < 255; ++i) {
        servers.push_back(RDIPCCreate("many"));
        ASSERT_NE(servers.back(), nullptr) << i;
    }
    EXPECT_EQ(RDIPCCreate("many"), nullptr);
    RDIPCClose(servers.back());
    ASSERT_NE(servers.back() = RDIPCCreate("many"), nullptr);
    for (int i = 0; i < 255; ++i) {
        clients.push_back(RDIPCOpen("many", 1));
        ASSERT_TRUE(Send(clients.back(), Pattern(40, i))) << i;
    }
    std::vector<std::thread> threads; // every instance echoes its own client
    for (RDIPCHandle server : servers)
        threads.emplace_back([server] {
            ASSERT_EQ(RDIPCWaitForConnection(server), server);
            EXPECT_TRUE(Send(server, ReadWhole(server, 64)));
        });
    for (auto &thread : threads)
        thread.join();
    for (int i = 0; i < 255; ++i)
        EXPECT_EQ(ReadWhole(clients[i], 64), Pattern(40, i)) << i;
    for (RDIPCHandle handle : clients)
        RDIPCClose(handle);
    for (RDIPCHandle handle : servers)
        RDIPCClose(handle);
}

TEST(IpcServer, StaleSocketIsReplacedButALiveServerIsNot) {
    rdtest::TempHome home;
    close(RawSocket(home.Path("pipes/stale"), true)); // left by a crashed server
    EXPECT_EQ(RDIPCOpen("stale", 0), nullptr);
    RDIPCHandle server = RDIPCCreate("stale");
    EXPECT_NE(server, nullptr);
    RDIPCClose(server);
    int live = RawSocket(home.Path("pipes/taken"), true);
    EXPECT_EQ(RDIPCCreate("taken"), nullptr);
    EXPECT_TRUE(FileExists(home.Path("pipes/taken")));
    close(live);
    // Nor is a listening socket of another kind, though no pipe client could use it.
    int stream = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, home.Path("pipes/other").c_str());
    ASSERT_EQ(bind(stream, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(listen(stream, 1), 0);
    EXPECT_EQ(RDIPCCreate("other"), nullptr);
    EXPECT_EQ(RDIPCExists("other", 0), 0);
    close(stream);
}

// Every allocation of a first and of a further instance failing in turn:
// no socket file, descriptor or instance is left behind, and the instances
// made afterwards serve and remove the socket as usual.
TEST(IpcServer, EveryAllocationFailureLeavesNoSocketDescriptorOrInstance) {
    rdtest::TempHome home;
    const std::string file = home.Path("pipes/scarce");
    RDIPCHandle first = nullptr, second = nullptr;
    const int none = OpenDescriptors();
    EXPECT_GT(rdtest::ForEachAllocationFailure(
                  [&] { return (first = RDIPCCreate("scarce")) != nullptr ? 0u : 1u; },
                  [&](uint32_t) {
                      EXPECT_FALSE(FileExists(file));
                      EXPECT_EQ(OpenDescriptors(), none);
                  }),
              0);
    ASSERT_NE(first, nullptr);
    const int one = OpenDescriptors();
    EXPECT_GT(rdtest::ForEachAllocationFailure(
                  [&] { return (second = RDIPCCreate("scarce")) != nullptr ? 0u : 1u; },
                  [&](uint32_t) {
                      EXPECT_TRUE(FileExists(file));
                      EXPECT_EQ(OpenDescriptors(), one);
                  }),
              0);
    RDIPCClose(second);
    RDIPCHandle client = RDIPCOpen("scarce", 0);
    ASSERT_TRUE(Send(client, "still here"));
    ASSERT_EQ(RDIPCWaitForConnection(first), first);
    EXPECT_EQ(ReadWhole(first, 64), "still here");
    RDIPCClose(client);
    RDIPCClose(first);
    EXPECT_FALSE(FileExists(file)); // no instance was left counted
}

// A second server trying the name must not reach the live one as a client:
// a non-blocking server takes the first connection queued as its client.
TEST(IpcServer, CreatingATakenNameLeavesTheLiveServerItsNextClient) {
    rdtest::TempHome home;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = rdtest::Spawn([&] {
        RDIPCHandle server = RDIPCCreate("held");
        if (server == nullptr || RDIPCSetNoWait(server) != 1 ||
            RDIPCAllowClientConnections(server) != 1 || write(ready[1], "y", 1) != 1)
            return 2;
        for (auto start = Clock::now(); SecondsSince(start) < 5; usleep(5000))
            if (RDIPCCheckForConnection(server) == server)
                return ReadWhole(server, 64) == "real" ? 0 : 3;
        return 1;
    });
    char flag = 0;
    ASSERT_EQ(read(ready[0], &flag, 1), 1);
    EXPECT_EQ(RDIPCCreate("held"), nullptr);
    RDIPCHandle client = RDIPCOpen("held", 0);
    EXPECT_TRUE(Send(client, "real"));
    EXPECT_EQ(rdtest::WaitExit(child), 0);
    RDIPCClose(client);
    close(ready[0]);
    close(ready[1]);
}

TEST(IpcServer, SurvivesSilentGarbageAndVanishingClients) {
    rdtest::TempHome home;
    RDIPCHandle server = RDIPCCreate("rough");
    std::string path = home.Path("pipes/rough");
    close(RawSocket(path)); // connects and says nothing
    int fd = RawSocket(path);
    ASSERT_EQ(send(fd, "", 0, 0), 0); // an empty message, then gone
    close(fd);
    fd = RawSocket(path);
    std::string text = Pattern(100000, 9); // too long for the server's buffer
    ASSERT_GT(send(fd, text.data(), text.size(), 0), 0);
    close(fd);
    fd = RawSocket(path); // two pieces of three, then gone
    ASSERT_EQ(send(fd, text.data(), 512, 0), 512);
    ASSERT_EQ(send(fd, text.data() + 512, 512, 0), 512);
    close(fd);
    char buffer[512];
    // Read result per step, and whether the step ends the client's connection.
    const std::pair<int, bool> steps[] = {{0, true},  {0, true},  {1, true},
                                          {1, false}, {1, false}, {0, true}};
    for (auto [result, hangUp] : steps) {
        ASSERT_EQ(RDIPCWaitForConnection(server), server);
        EXPECT_EQ(RDIPCRead(server, buffer, sizeof buffer, nullptr, nullptr), result);
        // A client that is gone cannot be answered, and nothing kills the writer.
        EXPECT_FALSE(Send(server, "answer"));
        if (hangUp) RDIPCDisconnect(server);
    }
    RDIPCHandle client = RDIPCOpen("rough", 0); // the instance still works
    ASSERT_TRUE(Send(client, "hi"));
    ASSERT_EQ(RDIPCWaitForConnection(server), server);
    EXPECT_EQ(ReadWhole(server, 64), "hi");
    RDIPCClose(client);
    RDIPCClose(server);
}

TEST(IpcServer, ServerInAChildProcessAnswersRequests) {
    rdtest::TempHome home;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = rdtest::Spawn([&] {
        RDIPCHandle server = RDIPCCreate("remote");
        if (write(ready[1], server != nullptr ? "y" : "n", 1) != 1 || server == nullptr) return 2;
        int served = 0;
        for (char buffer[4096]; served < 3; ++served) {
            uint32_t got = 0, more = 0;
            if (RDIPCWaitForConnection(server) != server ||
                RDIPCRead(server, buffer, sizeof buffer, &got, &more) != 1 || more != 0)
                break;
            for (uint32_t i = 0; i < got; ++i)
                ++buffer[i];
            if (!Send(server, std::string(buffer, got)) || RDIPCFlush(server) != 1) break;
            RDIPCDisconnect(server);
        }
        return served == 3 && RDIPCClose(server) == 1 ? 0 : 1;
    });
    char flag = 0;
    ASSERT_EQ(read(ready[0], &flag, 1), 1);
    ASSERT_EQ(flag, 'y');
    for (int i = 0; i < 3; ++i) {
        RDIPCHandle client = RDIPCOpen("remote", 2);
        std::string request = Pattern(2048, i), answer(2048, '\0');
        uint32_t got = 0, more = 0;
        ASSERT_EQ(RDIPCTransact(client, request.data(), 2048, answer.data(), 2048, &got, &more), 1);
        for (char &c : request)
            ++c;
        EXPECT_EQ(answer, request);
        RDIPCClose(client);
    }
    EXPECT_EQ(rdtest::WaitExit(child), 0);
    EXPECT_FALSE(FileExists(home.Path("pipes/remote")));
    close(ready[0]);
    close(ready[1]);
}

TEST(IpcServer, PeerOfAnotherUserIsTurnedAway) {
    passwd *nobody = getpwnam("nobody");
    if (geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "needs root and the user nobody";
    rdtest::TempHome home;
    RDIPCHandle server = RDIPCCreate("guarded");
    // Let the stranger reach the socket, so that only the server's own check stops it.
    std::string path = home.Path("pipes/guarded");
    ASSERT_EQ(chmod(home.Dir().c_str(), 0711) + chmod(home.Path("pipes").c_str(), 0711), 0);
    ASSERT_EQ(chmod(path.c_str(), 0777), 0);
    pid_t stranger = rdtest::Spawn([&] {
        if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) return 3;
        int fd = RawSocket(path);
        timeval limit{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        if (fd < 0) return 4;
        // The server may turn the stranger away before or after it has sent;
        // any other failure of the send exits with 10 + errno, to be told apart.
        ssize_t sent = send(fd, "intruder", 8, MSG_NOSIGNAL);
        if (sent != 8 && !(sent < 0 && (errno == EPIPE || errno == ECONNRESET))) return 10 + errno;
        char byte;
        ssize_t got = recv(fd, &byte, 1, 0); // turned away: ends at once, no answer
        return got == 0 || (got < 0 && errno == ECONNRESET) ? 0 : 6;
    });
    std::thread serve([&] {
        ASSERT_EQ(RDIPCWaitForConnection(server), server);
        EXPECT_EQ(ReadWhole(server, 64), "friend");
    });
    EXPECT_EQ(rdtest::WaitExit(stranger), 0);
    RDIPCHandle client = RDIPCOpen("guarded", 0);
    ASSERT_TRUE(Send(client, "friend"));
    serve.join();
    RDIPCClose(client);
    RDIPCClose(server);
}

} // namespace
