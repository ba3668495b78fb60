// SPDX-License-Identifier: Apache-2.0
// The password typed on a terminal is never shown: not while typed, not as a default.
#include "temp_home.h"

#include <cstring>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The program on the far side of a pseudo-terminal; killed if the test ends early.
struct TerminalSession {
    explicit TerminalSession(const std::string &logPath) {
        pid = forkpty(&master, nullptr, nullptr, nullptr);
        if (pid != 0) return;
        setenv("FAKECLI_LOG", logPath.c_str(), 1);
        unsetenv("FAKECLI_MODE");
        execl(DB2VERIFY_FAKECLI_PATH, DB2VERIFY_FAKECLI_PATH, nullptr);
        _exit(127);
    }
    ~TerminalSession() {
        close(master);
        if (pid > 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    }
    // Reads until the transcript ends with text; false when the program ends (EIO) first.
    bool WaitFor(const std::string &text) {
        char buffer[512];
        while (!transcript.ends_with(text)) {
            pollfd p{master, POLLIN, 0};
            ssize_t n = poll(&p, 1, 10000) == 1 ? read(master, buffer, sizeof buffer) : -1;
            if (n <= 0) return false;
            transcript.append(buffer, static_cast<size_t>(n));
        }
        return true;
    }
    int master = -1;
    pid_t pid = -1;
    std::string transcript;
};

TEST(Terminal, PasswordIsReadWithoutEchoAndNeverShown) {
    rdtest::TempHome home;
    TerminalSession s(home.Path("calls.log"));
    ASSERT_GT(s.pid, 0);
    const std::pair<const char *, const char *> dialogue[] = {
        {"   Database: ", "mydb\n"},        {"   Username: ", "bob\n"},
        {"   Password: ", "hunter2\n"},     {"Try Again? [N] ", "y\n"},
        {"   Database: [mydb] ", "\n"},     {"   Username: [bob] ", "\n"},
        {"   Password: [********] ", "\n"}, {"Try Again? [N] ", "n\n"},
    };
    for (const auto &[prompt, answer] : dialogue) {
        ASSERT_TRUE(s.WaitFor(prompt)) << s.transcript;
        ASSERT_EQ(write(s.master, answer, strlen(answer)), static_cast<ssize_t>(strlen(answer)));
    }
    EXPECT_FALSE(s.WaitFor("\x04 never written"));
    int status = 0;
    ASSERT_EQ(waitpid(s.pid, &status, 0), s.pid);
    s.pid = -1;
    EXPECT_EQ(status, 0);
    const std::string &t = s.transcript;
    EXPECT_EQ(t.find("hunter2"), std::string::npos) << t;
    // Echo is on for the other answers, and back on after the password.
    EXPECT_NE(t.find("   Database: mydb\r\n"), std::string::npos) << t;
    EXPECT_NE(t.find("   Password: \r\nAttempting to connect to DB2 mydb as bob"),
              std::string::npos)
        << t;
    EXPECT_TRUE(t.ends_with("Try Again? [N] n\r\n")) << t;
    // The password did reach the CLI, twice.
    std::string calls = rdtest::ReadFile(home.Path("calls.log"));
    std::string connect = "SQLConnect dbc mydb:4 bob:3 hunter2:7\n";
    EXPECT_NE(calls.find(connect), calls.rfind(connect)) << calls;
}

} // namespace
