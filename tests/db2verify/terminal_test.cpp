// The password typed on a terminal is never shown: not while typed, not as a default.
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "program_runner.h"

namespace db2test {
namespace {

// The program on the far side of a pseudo-terminal.
class TerminalSession {
  public:
    explicit TerminalSession(const std::string &logPath) {
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            setenv("FAKECLI_LOG", logPath.c_str(), 1);
            unsetenv("FAKECLI_MODE");
            execl(DB2VERIFY_FAKECLI_PATH, DB2VERIFY_FAKECLI_PATH, nullptr);
            _exit(127);
        }
    }
    ~TerminalSession() {
        if (master_ >= 0) close(master_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool Started() const { return pid_ > 0; }

    // Reads until the transcript ends with text, or until the program ends (false).
    bool WaitFor(const std::string &text) {
        while (!transcript_.ends_with(text)) {
            if (!ReadSome()) return false;
        }
        return true;
    }
    void Type(const std::string &text) { (void)!write(master_, text.data(), text.size()); }

    int WaitForExit() {
        while (ReadSome()) {
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string &Transcript() const { return transcript_; }

  private:
    bool ReadSome() {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0) return false;
        char buffer[512];
        ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) return false; // EIO once the program has ended
        transcript_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    int master_ = -1;
    pid_t pid_ = -1;
    std::string transcript_;
};

TEST(Terminal, PasswordIsReadWithoutEchoAndNeverShown) {
    TempDir dir;
    TerminalSession s(dir.Path() + "/calls.log");
    ASSERT_TRUE(s.Started());
    const std::pair<const char *, const char *> dialogue[] = {
        {"   Database: ", "mydb\n"},        {"   Username: ", "bob\n"},
        {"   Password: ", "hunter2\n"},     {"Try Again? [N] ", "y\n"},
        {"   Database: [mydb] ", "\n"},     {"   Username: [bob] ", "\n"},
        {"   Password: [********] ", "\n"}, {"Try Again? [N] ", "n\n"},
    };
    for (const auto &[prompt, answer] : dialogue) {
        ASSERT_TRUE(s.WaitFor(prompt)) << s.Transcript();
        s.Type(answer);
    }
    EXPECT_EQ(s.WaitForExit(), 0);
    const std::string &t = s.Transcript();
    EXPECT_EQ(t.find("hunter2"), std::string::npos) << t;
    // Echo is on for the other answers, and back on after the password.
    EXPECT_NE(t.find("   Database: mydb\r\n"), std::string::npos) << t;
    EXPECT_NE(t.find("   Password: \r\nAttempting to connect to DB2 mydb as bob"),
              std::string::npos)
        << t;
    EXPECT_TRUE(t.ends_with("Try Again? [N] n\r\n")) << t;
    // The password did reach the CLI, twice.
    std::string calls = dir.Read("calls.log");
    std::string connect = "SQLConnect dbc mydb:4 bob:3 hunter2:7\n";
    EXPECT_NE(calls.find(connect), calls.rfind(connect)) << calls;
}

} // namespace
} // namespace db2test
