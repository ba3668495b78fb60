// SPDX-License-Identifier: Apache-2.0
#include "echo_off.h"

#include <array>
#include <csignal>
#include <unistd.h>

namespace db2verify {
namespace {

constexpr std::array<int, 4> kSignals = {SIGINT, SIGQUIT, SIGHUP, SIGTERM};

// The terminal settings to put back, reachable from the signal handler.
int gFd = -1;
termios gSaved{};
std::array<struct sigaction, kSignals.size()> gOldActions{};

extern "C" void RestoreAndResignal(int sig) {
    tcsetattr(gFd, TCSANOW, &gSaved);
    signal(sig, SIG_DFL);
    raise(sig);
}

} // namespace

EchoOff::EchoOff(std::FILE *in) {
    int fd = fileno(in);
    if (fd < 0 || !isatty(fd) || tcgetattr(fd, &gSaved) != 0) return;
    gFd = fd;
    struct sigaction action {};
    action.sa_handler = RestoreAndResignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        sigaction(kSignals[i], &action, &gOldActions[i]);
    termios quiet = gSaved;
    // The line end is still echoed so that the next output starts on a new line.
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    active_ = tcsetattr(fd, TCSANOW, &quiet) == 0;
    if (!active_) {
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &gOldActions[i], nullptr);
    }
}

EchoOff::~EchoOff() {
    if (!active_) return;
    tcsetattr(gFd, TCSANOW, &gSaved);
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        sigaction(kSignals[i], &gOldActions[i], nullptr);
}

} // namespace db2verify
