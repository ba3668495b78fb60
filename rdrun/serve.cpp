#include "serve.h"

#include "host_run.h"
#include "report.h"

#include "rdxapi.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace rdrun {
namespace {

constexpr uint32_t kNothingToRun = 788;
// The block's command that asks an activity to stop.
constexpr uint32_t kCommandStop = 1;
constexpr auto kIdlePoll = std::chrono::milliseconds(500);
constexpr unsigned kWatchInterval = 100;
constexpr int kExitFailed = 1;

volatile std::sig_atomic_t g_stop = 0;

void OnStop(int) {
    g_stop = 1;
}

void CatchStop() {
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void Idle() {
    const auto until = std::chrono::steady_clock::now() + kIdlePoll;
    while (g_stop == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

std::string Text(const RDStream &stream) {
    return stream.data == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char *>(stream.data), stream.length);
}

// Runs the next queued activity, if any: false when the server manager
// could not be asked.
bool RunNext(std::FILE *out) {
    RDStream name;
    RDStreamClear(&name);
    NextActivityRecord next{};
    next.name = &name;
    uint32_t status = CSMgrNextActivity(&next);
    if (status == kNothingToRun) {
        RDStreamDataFree(&name);
        Idle();
        return true;
    }
    if (status != 0) {
        std::fprintf(out, "rdrun: the server manager gave no activity (status %u): %s\n", status,
                     StatusText(status).c_str());
        RDStreamDataFree(&name);
        return false;
    }
    ActivityBlock block{next.handle, next.command, {next.words[0], next.words[1], next.words[2]}};
    // A stop asked for while the activity runs becomes the server
    // manager's own request to stop, which every activity function heeds.
    const ProgressFn watch = [&block](const uint32_t *) {
        if (g_stop != 0)
            std::atomic_ref<uint32_t>(block.command).store(kCommandStop, std::memory_order_relaxed);
    };
    const RunResult result = RunBlock(block, watch, kWatchInterval);
    const uint32_t shown = result.status != 0 ? result.status : result.statusWord;
    if (shown == 0)
        std::fprintf(out, "%s: ended successfully\n", Text(name).c_str());
    else
        std::fprintf(out, "%s: ended with status %u: %s\n", Text(name).c_str(), shown,
                     (result.message.empty() ? StatusText(shown) : result.message).c_str());
    std::fflush(out);
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
    while (g_stop == 0 && reached)
        reached = RunNext(out);
    CSMgrTerm();
    return reached ? 0 : kExitFailed;
}

// Forwards a stop to the workers and waits for them all.
int WaitForWorkers(const std::vector<pid_t> &workers) {
    int code = 0;
    size_t left = workers.size();
    bool forwarded = false;
    while (left > 0) {
        if (g_stop != 0 && !forwarded) {
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

} // namespace

int Serve(unsigned workers, std::FILE *out) {
    CatchStop();
    if (workers <= 1) return ServeHere(out);
    std::fflush(out);
    std::vector<pid_t> children;
    for (unsigned i = 0; i < workers; ++i) {
        const pid_t child = fork();
        if (child == 0) std::_Exit(ServeHere(out) == 0 ? 0 : kExitFailed);
        if (child > 0) children.push_back(child);
    }
    return WaitForWorkers(children);
}

} // namespace rdrun
