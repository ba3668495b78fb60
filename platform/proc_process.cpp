// SPDX-License-Identifier: Apache-2.0
// Starting, killing and waiting for programs. A program is started with
// fork and execve; the child reports a failed exec through a close-on-exec
// pipe, so the caller learns whether the program really started. Everything
// the child needs is prepared before the fork, because the child of a
// threaded process may only make plain system calls.
#include "proc_cmdline.h"
#include "rdplat_proc.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int kIdleNice = 19;
constexpr int kHighNice = -10;
constexpr const char *kDefaultPath = "/usr/local/bin:/usr/bin:/bin";

// What the child does between fork and exec.
struct Launch {
    const char *program;
    char *const *argv;
    char *const *envp;
    bool changeNice;
    int nice;
    bool newSession;
};

bool IsExecutableFile(const char *path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode) && access(path, X_OK) == 0;
}

// A word with '/' names the program file itself; any other is looked up in
// the directories of PATH (an empty entry is the current directory).
bool FindProgram(const char *word, char (&path)[PATH_MAX]) {
    if (std::strchr(word, '/') != nullptr) {
        std::snprintf(path, sizeof path, "%s", word);
        return IsExecutableFile(path);
    }
    const char *list = std::getenv("PATH");
    if (list == nullptr || *list == '\0') list = kDefaultPath;
    for (const char *dir = list;; ++dir) {
        const char *end = strchrnul(dir, ':');
        int dirLength = static_cast<int>(end - dir);
        int length = dirLength == 0
                         ? std::snprintf(path, sizeof path, "./%s", word)
                         : std::snprintf(path, sizeof path, "%.*s/%s", dirLength, dir, word);
        if (length < static_cast<int>(sizeof path) && IsExecutableFile(path)) return true;
        if (*end == '\0') return false;
        dir = end;
    }
}

void ReportErrno(int fd, int err) {
    ssize_t written = write(fd, &err, sizeof err);
    (void)written; // nothing more the child can do
}

[[noreturn]] void ExecChild(const Launch &launch, int reportFd) {
    if (launch.newSession) setsid();
    // A refused raise of priority leaves the program at normal priority.
    if (launch.changeNice) setpriority(PRIO_PROCESS, 0, launch.nice);
    execve(launch.program, launch.argv, launch.envp);
    ReportErrno(reportFd, errno);
    _exit(127);
}

pid_t WaitChild(pid_t pid, int *status) {
    pid_t done;
    do
        done = waitpid(pid, status, 0);
    while (done < 0 && errno == EINTR);
    return done;
}

// 0 when the other end closed without a report (the exec succeeded).
int ReadReport(int fd) {
    int err = 0;
    ssize_t got;
    do
        got = read(fd, &err, sizeof err);
    while (got < 0 && errno == EINTR);
    if (got == 0) return 0;
    return got == static_cast<ssize_t>(sizeof err) && err != 0 ? err : EIO;
}

// Starts the program as a child of the caller; its pid, or -1.
pid_t StartChild(const Launch &launch) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(report[0]);
        ExecChild(launch, report[1]);
    }
    close(report[1]);
    int err = pid < 0 ? -1 : ReadReport(report[0]);
    close(report[0]);
    if (pid > 0 && err != 0) WaitChild(pid, nullptr);
    return err == 0 ? pid : -1;
}

// Starts the program through a short-lived intermediate child, so that it
// becomes nobody's child here and leaves no zombie behind when it ends.
bool StartDetached(const Launch &launch) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    pid_t pid = fork();
    if (pid == 0) {
        close(report[0]);
        pid_t grandchild = _Fork();
        if (grandchild == 0) ExecChild(launch, report[1]);
        if (grandchild < 0) ReportErrno(report[1], errno);
        _exit(0);
    }
    close(report[1]);
    if (pid > 0) WaitChild(pid, nullptr);
    int err = pid < 0 ? -1 : ReadReport(report[0]);
    close(report[0]);
    return err == 0;
}

RDProcessHandle ToHandle(pid_t pid) {
    return reinterpret_cast<RDProcessHandle>(static_cast<intptr_t>(pid));
}

// The process id behind a handle; 0 for none. Ids below 1 would address
// process groups, so they never count as a process.
pid_t FromHandle(const RDProcessHandle *process) {
    if (process == nullptr) return 0;
    intptr_t value = reinterpret_cast<intptr_t>(*process);
    return value > 0 && value <= INT_MAX ? static_cast<pid_t>(value) : 0;
}

void SetPriority(Launch &launch, uint32_t priority) {
    launch.changeNice = priority == RDPROC_PRIORITY_IDLE || priority == RDPROC_PRIORITY_HIGH;
    launch.nice = priority == RDPROC_PRIORITY_IDLE ? kIdleNice : kHighNice;
}

} // namespace

extern "C" {

RD_EXPORT uint32_t RDProcShellExec(const char *commandLine, RDProcessHandle *process,
                                   uint32_t priority, uint32_t flags) {
    if (process != nullptr) *process = nullptr;
    rdplat::CommandWords words;
    char program[PATH_MAX];
    if (!rdplat::SplitCommandLine(commandLine, words) || !FindProgram(words.argv[0], program))
        return RDSTATUS_PROCSTART;
    Launch launch{program, words.argv, environ, false, 0, (flags & RDPROC_NEW_CONSOLE) != 0};
    SetPriority(launch, priority);
    if (process == nullptr) return StartDetached(launch) ? RDSTATUS_OK : RDSTATUS_PROCSTART;
    pid_t pid = StartChild(launch);
    if (pid < 0) return RDSTATUS_PROCSTART;
    *process = ToHandle(pid);
    return RDSTATUS_OK;
}

RD_EXPORT uint32_t RDProcProcessKill(RDProcessHandle *process) {
    pid_t pid = FromHandle(process);
    return pid != 0 && kill(pid, SIGKILL) == 0 ? RDSTATUS_OK : RDSTATUS_PROCKILL;
}

RD_EXPORT uint32_t RDProcProcessWait(RDProcessHandle *process) {
    pid_t pid = FromHandle(process);
    if (pid == 0 || WaitChild(pid, nullptr) != pid) return RDSTATUS_PROCWAIT;
    // The id of a reaped process may be reused at once; clearing the handle
    // keeps a later kill from reaching an unrelated process.
    *process = nullptr;
    return RDSTATUS_OK;
}

} // extern "C"
