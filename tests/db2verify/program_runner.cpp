// SPDX-License-Identifier: Apache-2.0
#include "program_runner.h"

#include <csignal>
#include <cstdlib>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace db2test {

ProgramResult RunProgram(const std::string &path, const std::string &input,
                         const std::vector<std::string> &extraEnv) {
    ProgramResult result;
    int in = memfd_create("stdin", 0), out[2];
    if (in < 0 || write(in, input.data(), input.size()) != static_cast<ssize_t>(input.size()) ||
        lseek(in, 0, SEEK_SET) != 0 || pipe(out) != 0)
        return result;
    pid_t pid = fork();
    if (pid == 0) {
        for (const std::string &entry : extraEnv)
            putenv(const_cast<char *>(entry.c_str()));
        if (dup2(in, 0) < 0 || dup2(out[1], 1) < 0) _exit(127);
        close(out[0]);
        alarm(20); // the timer outlives the exec and kills a program that hangs
        execl(path.c_str(), path.c_str(), nullptr);
        _exit(127);
    }
    close(in);
    close(out[1]);
    char buffer[4096];
    for (ssize_t n; pid > 0 && (n = read(out[0], buffer, sizeof buffer)) > 0;)
        result.output.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return result;
    result.timedOut = WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM;
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    return result;
}

} // namespace db2test
