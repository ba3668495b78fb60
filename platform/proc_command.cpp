// SPDX-License-Identifier: Apache-2.0
// Running a command through the shell and waiting for its exit status.
#include "rdplat_proc.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

extern "C" {

RD_EXPORT uint32_t RDProcCommandExec(const char *commandLine) {
    if (commandLine == nullptr) return RDSTATUS_COMMANDFAILED;
    char shell[] = "sh";
    char option[] = "-c";
    char *argv[] = {shell, option, const_cast<char *>(commandLine), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) != 0)
        return RDSTATUS_COMMANDFAILED;
    int status = 0;
    pid_t done;
    do
        done = waitpid(pid, &status, 0);
    while (done < 0 && errno == EINTR);
    bool succeeded = done == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return succeeded ? RDSTATUS_OK : RDSTATUS_COMMANDFAILED;
}

} // extern "C"
