// SPDX-License-Identifier: Apache-2.0
// The client side: names, the pipe folder's safety, whether a server is
// there, and how long an open keeps trying.
#include "ipc_test_util.h"

#include <pwd.h>
#include <thread>

namespace {

using namespace ipctest;

bool Refused(const char *name) {
    RDIPCHandle server = RDIPCCreate(name);
    RDIPCClose(server);
    return server == nullptr && RDIPCOpen(name, 0) == nullptr && RDIPCExists(name, 0) == 0;
}

TEST(IpcClient, BadNamesAndUnsafeFoldersAreRefused) {
    rdtest::TempHome home;
    const std::string names[] = {"",
                                 ".",
                                 "..",
                                 "a/b",
                                 std::string(RDIPC_NAME_MAX + 1, 'x'),
                                 std::string(100, 'n')}; // the last does not fit a socket address
    for (const std::string &name : names)
        EXPECT_TRUE(Refused(name.c_str())) << name;
    EXPECT_TRUE(Refused(nullptr));
    EXPECT_FALSE(Refused("RDCSMP x.1"));
    std::string folder = home.Path("pipes");
    for (mode_t mode : {0777, 0720, 0702}) {
        ASSERT_EQ(chmod(folder.c_str(), mode), 0);
        EXPECT_TRUE(Refused("p")) << mode;
    }
    ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
    if (geteuid() == 0 && getpwnam("nobody") != nullptr) {
        ASSERT_EQ(chown(folder.c_str(), getpwnam("nobody")->pw_uid, 0), 0);
        EXPECT_TRUE(Refused("p"));
    }
    WriteFile(home.Path("file"), "");
    setenv("RD_PIPE_DIR", home.Path("file").c_str(), 1);
    EXPECT_TRUE(Refused("p"));
}

TEST(IpcClient, ServerMakesTheFolderPrivateWhereverItIs) {
    rdtest::TempHome home;
    std::string folder = home.Path("fresh");
    setenv("RD_PIPE_DIR", folder.c_str(), 1);
    EXPECT_EQ(RDIPCOpen("p", 0), nullptr); // a client never makes the folder
    EXPECT_FALSE(FileExists(folder));
    mode_t old = umask(0222); // would leave a folder made with mkdir alone unwritable
    RDIPCClose(RDIPCCreate("p"));
    umask(old);
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    RDIPCHandle server = RDIPCCreate("p");
    setenv("RD_PIPE_DIR", (folder + "//").c_str(), 1); // the same folder
    RDIPCHandle client = RDIPCOpen("p", 0);
    EXPECT_NE(client, nullptr);
    RDIPCClose(client);
    RDIPCClose(server);
    // Without RD_PIPE_DIR, a runtime folder and a home directory, pipes live
    // in a folder of the user's own in /tmp.
    unsetenv("RD_PIPE_DIR");
    rdtest::ScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
    std::string name = "rdtest-" + std::to_string(getpid());
    std::string path = "/tmp/rdpipe-" + std::to_string(geteuid()) + "/" + name;
    server = RDIPCCreate(name.c_str());
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    RDIPCClose(server);
    EXPECT_FALSE(FileExists(path));
}

TEST(IpcClient, ExistsLooksWithoutTakingAConnection) {
    rdtest::TempHome home;
    auto start = Clock::now();
    EXPECT_EQ(RDIPCExists("here", 5), 0); // a missing pipe is not waited for
    close(RawSocket(home.Path("pipes/here"), true));
    EXPECT_EQ(RDIPCExists("here", 5), 0); // nor is a dead server's socket
    EXPECT_LT(SecondsSince(start), 1.0);
    RDIPCHandle server = RDIPCCreate("here");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(RDIPCExists("here", 0), 1);
    RDIPCHandle client = RDIPCOpen("here", 0); // the first client taken is the real one
    ASSERT_TRUE(Send(client, "real"));
    ASSERT_EQ(RDIPCWaitForConnection(server), server);
    EXPECT_EQ(ReadWhole(server, 16), "real");
    RDIPCClose(client);
    RDIPCClose(server);
    EXPECT_EQ(RDIPCExists("here", 0), 0);
}

TEST(IpcClient, BusyServerIsWaitedForUpToTheTimeOut) {
    rdtest::TempHome home;
    RDIPCHandle server = RDIPCCreate("busy");
    std::vector<int> queued; // fill the queue of clients not yet taken
    for (int fd; (fd = RawSocket(home.Path("pipes/busy"), false, SOCK_NONBLOCK)) >= 0;)
        queued.push_back(fd);
    ASSERT_GE(queued.size(), 255u);
    auto start = Clock::now();
    EXPECT_EQ(RDIPCExists("busy", 0), 0);
    EXPECT_EQ(RDIPCOpen("busy", 0), nullptr);
    EXPECT_LT(SecondsSince(start), 0.5);
    std::thread taker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(RDIPCWaitForConnection(server), server);
    });
    start = Clock::now();
    EXPECT_EQ(RDIPCExists("busy", 2), 1);
    EXPECT_GT(SecondsSince(start), 0.1);
    taker.join();
    RDIPCHandle client = RDIPCOpen("busy", 0);
    EXPECT_NE(client, nullptr);
    RDIPCClose(client);
    for (int fd : queued)
        close(fd);
    RDIPCClose(server);
}

// The one slow test: a missing pipe is tried every 2 seconds.
TEST(IpcClient, OpenRetriesAMissingPipeEveryTwoSeconds) {
    rdtest::TempHome home;
    auto start = Clock::now();
    EXPECT_EQ(RDIPCOpen("late", 0), nullptr);
    EXPECT_LT(SecondsSince(start), 0.5);
    start = Clock::now();
    EXPECT_EQ(RDIPCOpen("late", 1), nullptr); // tried at 0 and 2 seconds
    EXPECT_NEAR(SecondsSince(start), 2.0, 0.5);
    RDIPCHandle server = nullptr;
    std::thread creator([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        server = RDIPCCreate("late");
    });
    start = Clock::now();
    RDIPCHandle client = RDIPCOpen("late", 3); // found at the 2-second try
    EXPECT_NEAR(SecondsSince(start), 2.0, 0.5);
    creator.join();
    EXPECT_NE(client, nullptr);
    RDIPCClose(client);
    RDIPCClose(server);
}

} // namespace
