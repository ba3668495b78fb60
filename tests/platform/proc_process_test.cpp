// SPDX-License-Identifier: Apache-2.0
// Starting, killing and waiting for programs, and shell commands.
#include "platform_test.h"

#include <cerrno>
#include <climits>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

pid_t Pid(RDProcessHandle process) {
    return static_cast<pid_t>(reinterpret_cast<intptr_t>(process));
}

// Starts command (waiting for it when keep) and returns what it wrote to the
// inherited write end of pipe; "$W" in command names that descriptor.
std::string Output(std::string command, RDProcPipe &pipe, bool keep = true) {
    command.replace(command.find("$W"), 2, std::to_string(RDPROC_FD(pipe.writeEnd)));
    RDProcessHandle process;
    if (RDProcShellExec(command.c_str(), keep ? &process : nullptr, 0, 0) != 0) return "<516>";
    if (keep && RDProcProcessWait(&process) != 0) return "<518>";
    pollfd ready{RDPROC_FD(pipe.readEnd), POLLIN, 0};
    char buffer[128] = {};
    if (poll(&ready, 1, 2000) != 1 || RDProcPipeEmpty(127, buffer, &pipe) != 0) return "<none>";
    return buffer;
}

TEST(ProcShellExec, ChildGetsItsWordsEnvironmentDirectoryAndDescriptors) {
    rdtest::TempHome home;
    ASSERT_EQ(chdir(home.Dir().c_str()), 0);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    rdtest::ScopedEnv probe("RDPROC_PROBE", "probe-value");
    WriteFile(home.Path("probe"), "#!/bin/sh\nprintf found >&$1\n");
    chmod(home.Path("probe").c_str(), 0755);
    rdtest::ScopedEnv path("PATH", ("/nonexistent::" + std::string(getenv("PATH"))).c_str());
    RDProcPipe pipe;
    ASSERT_EQ(RDProcPipeCreate(0, &pipe), 0u);
    EXPECT_EQ(Output("sh -c \"IFS=; for a; do printf %s/ $a; done >&$W\" x one \"two  words\" \"\"",
                     pipe),
              "one/two  words//");
    EXPECT_EQ(Output("sh -c \"printf %s $RDPROC_PROBE >&$W\"", pipe), "probe-value");
    EXPECT_EQ(Output("sh -c \"pwd >&$W\"", pipe), std::string(cwd) + "\n");
    EXPECT_EQ(Output("probe $W", pipe), "found");
    EXPECT_EQ(Output("probe $W", pipe, false), "found");
    // A program started without a handle is not a child: no zombie is left.
    EXPECT_TRUE(waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
    RDProcPipeDestroy(&pipe);
}

TEST(ProcShellExec, PriorityNewConsoleKillAndWait) {
    const int normal = getpriority(PRIO_PROCESS, 0);
    const int high = geteuid() == 0 ? -10 : normal; // raising needs privilege
    const struct {
        uint32_t priority, flags;
        int nice;
        bool ownSession;
    } cases[] = {
        {1, 0, 19, false}, {2, 2, normal, false}, {3, 0, high, false}, {0, 3, normal, true}};
    for (const auto &c : cases) {
        RDProcessHandle process;
        ASSERT_EQ(RDProcShellExec("sleep 30", &process, c.priority, c.flags), 0u);
        EXPECT_EQ(getpriority(PRIO_PROCESS, Pid(process)), c.nice) << c.priority;
        EXPECT_EQ(getsid(Pid(process)) == Pid(process), c.ownSession) << c.flags;
        EXPECT_EQ(RDProcProcessKill(&process), 0u);
        EXPECT_EQ(RDProcProcessWait(&process), 0u);
        EXPECT_EQ(process, nullptr); // its id may be reused now
        EXPECT_EQ(RDProcProcessKill(&process), 519u);
        EXPECT_EQ(RDProcProcessWait(&process), 518u);
    }
}

TEST(ProcShellExec, RefusedCommandLinesReport516) {
    rdtest::TempHome home;
    const std::string bad = home.Path("bad"); // executable but not a program
    WriteFile(bad, "not a program\n");
    chmod(bad.c_str(), 0755);
    const std::string fits = "true" + std::string(RDPROC_COMMAND_MAX - 4, ' ');
    const std::string tooLong = fits + " ";
    for (const char *line : {static_cast<const char *>(nullptr), "", "  ", "no-such-program-rdproc",
                             "/etc/passwd", "/tmp", bad.c_str(), tooLong.c_str()}) {
        RDProcessHandle process = &process;
        EXPECT_EQ(RDProcShellExec(line, &process, 0, 0), 516u) << (line ? line : "null");
        EXPECT_EQ(process, nullptr);
    }
    RDProcessHandle process;
    ASSERT_EQ(RDProcShellExec(fits.c_str(), &process, 0, 0), 0u);
    EXPECT_EQ(RDProcProcessWait(&process), 0u);
}

TEST(ProcCommandExec, SucceedsOnlyForAZeroExitStatus) {
    rdtest::TempHome home;
    const std::string made = "printf ok > '" + home.Path("made") + "'";
    for (auto [command, status] : {std::pair<const char *, uint32_t>{"exit 0", 0},
                                   {"", 0},
                                   {made.c_str(), 0},
                                   {"exit 3", 12325},
                                   {"true && false", 12325},
                                   {"no-such-command-rdproc 2>/dev/null", 12325},
                                   {"kill -9 $$", 12325},
                                   {nullptr, 12325}})
        EXPECT_EQ(RDProcCommandExec(command), status) << (command ? command : "null");
    EXPECT_EQ(ReadFile(home.Path("made")), "ok");
}

} // namespace
