// SPDX-License-Identifier: Apache-2.0
// Connections that say nothing, more of them than the pipe's queue holds,
// and a stop after the pipe's folder was removed.
#include "rdcsm_test_env.h"

#include "idle_connections.h"

#include <algorithm>
#include <csignal>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rdcsmtest {
namespace {

constexpr int kSilent = 300;

// A server that would wait a minute for each silent client's request.
class CrowdTest : public ServerTest {
  protected:
    CrowdTest() { timeout_ = std::chrono::milliseconds(60000); }

    // A connection made without the library, retried for a second while the
    // pipe's queue is full; -1 when it stays full.
    int Connect() {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = home_.Path("pipes/RDCSMP");
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        for (int tries = 0; tries < 200; ++tries, usleep(5000)) {
            const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) return fd;
            close(fd);
        }
        return -1;
    }
};

bool ClosedByServer(int fd) {
    char byte = 0;
    return recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
}

// How many of the connections the server has closed, once at least least
// are (or after 30 s).
std::size_t ClosedByServer(const std::vector<int> &connections, std::size_t least) {
    std::size_t closed = 0;
    for (int tries = 0; tries < 300 && closed < least; ++tries, usleep(100000))
        closed = std::count_if(connections.begin(), connections.end(),
                               [](int fd) { return ClosedByServer(fd); });
    return closed;
}

TEST_F(CrowdTest, SilentConnectionsBeyondTheQueueLeaveNewClientsAnswered) {
    std::vector<int> silent;
    for (int i = 0; i < kSilent; ++i) {
        const int fd = Connect();
        if (fd < 0) break;
        silent.push_back(fd);
    }
    EXPECT_EQ(std::size_t{kSilent}, silent.size()) << "the pipe's queue stayed full";
    uint64_t time = 0;
    EXPECT_EQ(0u, CSMgrTime(&time));
    // Past the number of silent connections kept, the oldest are let go
    // long before their minute is over, and only those.
    EXPECT_EQ(silent.size() - rdcsm::kMaxIdle,
              ClosedByServer(silent, silent.size() - rdcsm::kMaxIdle));
    for (int fd : silent)
        close(fd);
    EXPECT_EQ(0u, CSMgrTime(&time));
}

// A client that connects and then sends its request late is still answered.
TEST_F(CrowdTest, ASlowRequestIsAnsweredWhenItComes) {
    std::vector<int> silent;
    for (int i = 0; i < 40; ++i)
        silent.push_back(Connect());
    const int fd = silent.back();
    usleep(100000);
    const std::string request = Image(14, 64);
    ASSERT_EQ(64, send(fd, request.data(), request.size(), MSG_NOSIGNAL));
    pollfd ready{fd, POLLIN, 0};
    ASSERT_EQ(1, poll(&ready, 1, 30000));
    char answer[128];
    EXPECT_EQ(64, recv(fd, answer, sizeof answer, 0));
    EXPECT_EQ(0u, WordAt(std::string(answer, 64), 12));
    for (int each : silent)
        close(each);
}

// rdcsm with few descriptors: silent connections use them all up, yet each
// new client is taken, in place of the oldest silent one.
TEST_F(ProgramTest, OutOfDescriptorsTheOldestSilentConnectionMakesRoom) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers' runtime makes pipes of its own (to test whether memory
    // can be read) and, with every descriptor taken, reports sound objects
    // as broken when a thread ends.
    GTEST_SKIP() << "a sanitizer's runtime needs descriptors of its own";
#endif
    const std::string db = home_.Path("rdcsm.db");
    const std::string path = home_.Dir() + ":" + (getenv("PATH") ? getenv("PATH") : "");
    child_ = fork();
    if (child_ == 0) {
        const rlimit few{48, 48};
        setrlimit(RLIMIT_NOFILE, &few);
        setenv("PATH", path.c_str(), 1);
        execl(RDCSM_PROGRAM, "rdcsm", "--db", db.c_str(), "serve", "--timeout-ms", "60000",
              static_cast<char *>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 500 && RDIPCExists("RDCSMP", 0) == 0; ++i)
        usleep(10000);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string pipe = home_.Path("pipes/RDCSMP");
    std::strncpy(address.sun_path, pipe.c_str(), sizeof address.sun_path - 1);
    std::vector<int> silent;
    for (int i = 0; i < 100; ++i) {
        const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
            silent.push_back(fd);
        else
            close(fd);
        usleep(1000);
    }
    uint64_t time = 0;
    EXPECT_EQ(0u, CSMgrTime(&time));
    EXPECT_LE(1u, ClosedByServer(silent, 1));
    for (int fd : silent)
        close(fd);
    EXPECT_EQ(0, StopProgram());
}

// The pipe's folder removed while rdcsm serves: SIGTERM still ends it.
TEST_F(ProgramTest, AStopEndsTheServerWhoseFolderWasRemoved) {
    ASSERT_TRUE(StartProgram());
    uint64_t time = 0;
    ASSERT_EQ(0u, CSMgrTime(&time));
    ASSERT_EQ(0, rdtest::Shell("rm -rf '" + home_.Path("pipes") + "'"));
    ASSERT_EQ(0, kill(child_, SIGTERM));
    int status = -1;
    for (int i = 0; i < 600 && waitpid(child_, &status, WNOHANG) == 0; ++i)
        usleep(50000);
    ASSERT_TRUE(WIFEXITED(status)) << "rdcsm did not end within 30 s of SIGTERM";
    child_ = -1;
    EXPECT_EQ(0, WEXITSTATUS(status));
}

} // namespace
} // namespace rdcsmtest
