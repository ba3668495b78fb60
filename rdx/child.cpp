// SPDX-License-Identifier: Apache-2.0
#include "child.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rdx {

namespace {

volatile sig_atomic_t gChild = 0;

void Forward(int signal) {
    if (gChild > 0) kill(static_cast<pid_t>(gChild), signal);
}

std::string RealPath(const std::string &path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : "";
}

std::string FolderOf(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

// Forwards the stop signals to the child while it runs.
class Forwarding {
  public:
    explicit Forwarding(pid_t child) {
        gChild = child;
        struct sigaction action {};
        action.sa_handler = Forward;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < 3; ++i)
            sigaction(kSignals[i], &action, &old_[i]);
    }
    ~Forwarding() {
        for (int i = 0; i < 3; ++i)
            sigaction(kSignals[i], &old_[i], nullptr);
        gChild = 0;
    }

  private:
    static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction old_[3];
};

int Wait(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

void ReadAll(int fd, std::string &output) {
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0)
            output.append(buffer, static_cast<size_t>(got));
        else if (got == 0 || errno != EINTR)
            return;
    }
}

} // namespace

std::string ProgramPath(const std::string &name) {
    const std::string self = RealPath("/proc/self/exe");
    const std::string bin = FolderOf(self);
    if (!self.empty() && bin == RealPath(RDX_BUILD_DIR))
        return std::string(RDX_BUILD_TOP) + "/" + name + "/" + name;
    return bin + "/" + name;
}

int RunProgram(const std::vector<std::string> &argv, std::string *output, std::string &error) {
    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    int fds[2] = {-1, -1};
    if (output != nullptr && pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return -1;
    }
    const pid_t child = fork();
    if (child == 0) {
        if (output != nullptr) {
            dup2(fds[1], STDOUT_FILENO);
            dup2(fds[1], STDERR_FILENO);
        }
        execv(args[0], args.data());
        _exit(127);
    }
    if (output != nullptr) close(fds[1]);
    if (child < 0) {
        error = std::string("cannot start ") + argv[0] + ": " + std::strerror(errno);
        if (output != nullptr) close(fds[0]);
        return -1;
    }
    Forwarding forwarding(child);
    if (output != nullptr) {
        ReadAll(fds[0], *output);
        close(fds[0]);
    }
    const int status = Wait(child);
    if (status == 127) error = "cannot run " + argv[0];
    return status;
}

} // namespace rdx
