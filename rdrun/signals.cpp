// SPDX-License-Identifier: Apache-2.0
#include "signals.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace rdrun {
namespace {

// The block's command that asks an activity to stop.
constexpr uint32_t kCommandStop = 1;

volatile std::sig_atomic_t g_signal = 0;
volatile std::sig_atomic_t g_runStop = 0;

void OnStop(int signal) {
    if (g_signal == 0) g_signal = signal;
}

void OnRunStop(int) {
    g_runStop = 1;
}

void KeepStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

} // namespace

void CatchSignals() {
    KeepStandardDescriptors();
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    action.sa_handler = OnRunStop;
    sigaction(SIGUSR1, &action, nullptr);
    // A file that may not grow (RLIMIT_FSIZE) fails the write that would
    // grow it, and the connector reports that batch as not written, instead
    // of the signal ending the process in the middle of a batch.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

int StopSignal() {
    return g_signal;
}

void ClearRunStop() {
    g_runStop = 0;
}

void PassStop(ActivityBlock &block) {
    if (g_signal != 0 || g_runStop != 0)
        std::atomic_ref<uint32_t>(block.command).store(kCommandStop, std::memory_order_relaxed);
}

int ExitStatus(int code) {
    return g_signal != 0 && code != 0 ? 128 + g_signal : code;
}

} // namespace rdrun
