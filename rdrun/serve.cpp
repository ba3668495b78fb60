// SPDX-License-Identifier: Apache-2.0
#include "serve.h"

#include "host_run.h"
#include "report.h"
#include "resume.h"
#include "signals.h"
#include "visible_text.h"

#include "rdxapi.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace rdrun {
namespace {

constexpr uint32_t kNothingToRun = 788;
// The server manager answers but cannot reach its store (its database
// server may be restarting): waited for like a server manager that is gone.
constexpr uint32_t kStoreUnreachable = 789;
// Bits of the run's third word: the run was queued to resume (0), or to
// start again from nothing (1).
constexpr uint32_t kRunResumes = 1, kRunRefreshes = 2;
constexpr auto kIdlePoll = std::chrono::milliseconds(500);
constexpr unsigned kWatchInterval = 100;
constexpr int kExitFailed = 1;

void Idle(std::chrono::milliseconds pause = kIdlePoll) {
    const auto until = std::chrono::steady_clock::now() + pause;
    while (StopSignal() == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

std::string Text(const RDStream &stream) {
    return stream.data == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char *>(stream.data), stream.length);
}

// The end of a run that the server manager could not record when the run
// ended (it was gone or did not answer): told again before the next run is
// taken, so that no run stays "running" while its host lives on.
struct UnrecordedEnd {
    uint32_t handle, code;
    std::string name;
};
std::vector<UnrecordedEnd> g_unrecorded;
bool g_unreachable = false; // the last request found no server manager
unsigned g_misses = 0;      // requests in a row that found none, for the back-off

// Tells the server manager the ends it missed, oldest first.
void RecordMissedEnds(std::FILE *out) {
    while (!g_unrecorded.empty()) {
        const UnrecordedEnd &end = g_unrecorded.front();
        if (CSMgrDoneActivity(end.handle, end.code) != 0) return;
        std::fprintf(out, "%s: the run's end is recorded now\n",
                     rdxc::VisibleText(end.name).c_str());
        g_unrecorded.erase(g_unrecorded.begin());
    }
}

// A server manager that is gone or silent, or cannot reach its store, is
// waited for: it may be restarting, and a host that serves a queue outlives
// it. The waits grow from half a second to eight.
bool WaitForServer(std::FILE *out, uint32_t status) {
    const bool store = status == kStoreUnreachable;
    if (status != RDSTATUS_NOPIPE && status != RDSTATUS_EXCHANGE && !store) {
        std::fprintf(out, "rdrun: the server manager gave no activity (status %u): %s\n", status,
                     StatusText(status).c_str());
        return false;
    }
    if (!g_unreachable)
        std::fprintf(out,
                     store ? "rdrun: the server manager cannot reach its store (status %u); "
                             "waiting for it\n"
                           : "rdrun: the server manager does not answer (status %u); waiting "
                             "for it\n",
                     status);
    std::fflush(out);
    g_unreachable = true;
    g_misses = std::min(g_misses + 1, 5u);
    Idle(kIdlePoll * (1u << (g_misses - 1)));
    return true;
}

// Runs the next queued activity, if any: false when the server manager
// refused to hand one out.
bool RunNext(std::FILE *out) {
    RecordMissedEnds(out);
    RDStream name;
    RDStreamClear(&name);
    NextActivityRecord next{};
    next.name = &name;
    uint32_t status = CSMgrNextActivity(&next);
    if (status != RDSTATUS_NOPIPE && status != RDSTATUS_EXCHANGE && status != kStoreUnreachable &&
        g_unreachable) {
        g_unreachable = false;
        g_misses = 0;
        std::fprintf(out, "rdrun: the server manager answers again\n");
    }
    if (status == kNothingToRun) {
        RDStreamDataFree(&name);
        Idle();
        return true;
    }
    if (status != 0) {
        RDStreamDataFree(&name);
        return WaitForServer(out, status);
    }
    ClearRunStop();
    ActivityBlock block{next.handle, next.command, {next.words[0], next.words[1], next.words[2]}};
    AskStart((next.words[2] & kRunResumes) != 0, (next.words[2] & kRunRefreshes) != 0);
    // A stop asked for while the activity runs becomes the server
    // manager's own request to stop, which every activity function heeds.
    const RunResult result = RunBlock(block, ProgressFn(), kWatchInterval);
    std::string line = OutcomeLine(result);
    line[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
    std::fprintf(out, "%s: %s\n", rdxc::VisibleText(Text(name)).c_str(), line.c_str());
    std::fflush(out);
    if (result.endStatus != 0) g_unrecorded.push_back({block.handle, result.endCode, Text(name)});
    RDStreamDataFree(&name);
    return true;
}

int ServeHere(std::FILE *out) {
    const uint32_t status = CSMgrInit(nullptr);
    if (status != 0) {
        std::fprintf(out, "rdrun: cannot attach to the server manager (status %u): %s\n", status,
                     StatusText(status).c_str());
        return kExitFailed;
    }
    bool reached = true;
    while (StopSignal() == 0 && reached)
        reached = RunNext(out);
    RecordMissedEnds(out);
    CSMgrTerm();
    return reached ? 0 : kExitFailed;
}

// Forwards a stop to the workers and waits for them all.
int WaitForWorkers(const std::vector<pid_t> &workers) {
    int code = 0;
    size_t left = workers.size();
    bool forwarded = false;
    while (left > 0) {
        if (StopSignal() != 0 && !forwarded) {
            for (pid_t worker : workers)
                kill(worker, SIGTERM);
            forwarded = true;
        }
        int status = 0;
        const pid_t ended = waitpid(-1, &status, WNOHANG);
        if (ended > 0) {
            --left;
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) code = kExitFailed;
            continue;
        }
        if (ended < 0 && errno != EINTR) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return code;
}

// A worker ends with its parent: should the parent die without passing on
// a stop, the system sends the worker SIGTERM, which stops its run cleanly.
// A parent that died before the request took effect is seen at once.
int Worker(pid_t parent, std::FILE *out) {
    if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent) return kExitFailed;
    return ServeHere(out);
}

} // namespace

int Serve(unsigned workers, std::FILE *out) {
    if (workers <= 1) return ServeHere(out);
    std::fflush(out);
    const pid_t parent = getpid();
    std::vector<pid_t> children;
    for (unsigned i = 0; i < workers; ++i) {
        const pid_t child = fork();
        if (child == 0) std::_Exit(Worker(parent, out) == 0 ? 0 : kExitFailed);
        if (child > 0) children.push_back(child);
    }
    return WaitForWorkers(children);
}

} // namespace rdrun
