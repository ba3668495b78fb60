// SPDX-License-Identifier: Apache-2.0
// The client side: asking whether a server is there and opening a connection.
#include "ipc_handle.h"
#include "ipc_path.h"
#include "ipc_probe.h"
#include "rdplat_proc.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <new>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace rdplat::ipc;
using Clock = std::chrono::steady_clock;

// A missing pipe is tried again after this many seconds.
constexpr uint32_t kRetrySeconds = 2;
// How often a busy server is looked at again.
constexpr auto kBusyPoll = std::chrono::milliseconds(5);

// The wait for a free instance: seconds, or 1 ms for 0.
std::chrono::milliseconds FreeWait(uint32_t seconds) {
    return std::chrono::milliseconds(seconds == 0 ? 1 : uint64_t{seconds} * 1000);
}

bool WaitUntilFree(const sockaddr_un &address, uint32_t seconds) {
    auto deadline = Clock::now() + FreeWait(seconds);
    for (;;) {
        ListenerState state = ProbeListener(address);
        // Without the socket list the socket file is all there is to go by.
        if (state != ListenerState::Busy) return state != ListenerState::Missing;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kBusyPoll);
    }
}

enum class Attempt { Connected, Busy, Missing, Failed };

// One try to connect. A busy server is waited for only when busyWait is
// non-zero (the kernel queues the connect until the server has room).
Attempt TryConnect(const sockaddr_un &address, std::chrono::milliseconds busyWait, int &fd) {
    fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | (busyWait.count() ? 0 : SOCK_NONBLOCK), 0);
    if (fd < 0) return Attempt::Failed;
    if (busyWait.count() != 0) {
        timeval limit{static_cast<time_t>(busyWait.count() / 1000),
                      static_cast<suseconds_t>(busyWait.count() % 1000 * 1000)};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    }
    int rc;
    do {
        rc = connect(fd, reinterpret_cast<const sockaddr *>(&address), AddressLength(address));
    } while (rc != 0 && errno == EINTR);
    int error = errno;
    if (rc == 0) {
        // Writes block without limit; only the connect had one.
        timeval none{0, 0};
        bool ok = busyWait.count() != 0
                      ? setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &none, sizeof none) == 0
                      : fcntl(fd, F_SETFL, O_RDWR) == 0;
        if (ok) return Attempt::Connected;
    }
    close(fd);
    fd = -1;
    if (rc == 0) return Attempt::Failed;
    if (error == EAGAIN || error == EWOULDBLOCK) return Attempt::Busy;
    // A socket file without a server behind it is as good as no pipe.
    if (error == ENOENT || error == ECONNREFUSED) return Attempt::Missing;
    return Attempt::Failed;
}

int OpenFd(const char *name, uint32_t seconds) {
    uint32_t waited = 0;
    std::chrono::milliseconds busyWait{0};
    for (;;) {
        sockaddr_un address;
        bool folderMissing = false;
        Attempt attempt = Attempt::Missing;
        int fd = -1;
        if (PipeAddress(name, false, address, &folderMissing))
            attempt = TryConnect(address, busyWait, fd);
        else if (!folderMissing)
            return -1;
        bool waitedForRoom = busyWait.count() != 0;
        busyWait = std::chrono::milliseconds(0);
        switch (attempt) {
        case Attempt::Connected:
            return fd;
        case Attempt::Busy:
            // The connect that waited for room found none within the time-out.
            if (waitedForRoom) return -1;
            busyWait = FreeWait(seconds);
            break;
        case Attempt::Missing:
            if (waited >= seconds) return -1;
            RDProcThreadSleep(kRetrySeconds);
            waited += kRetrySeconds;
            break;
        case Attempt::Failed:
            return -1;
        }
    }
}

} // namespace

extern "C" {

RD_EXPORT int RDIPCExists(const char *name, uint32_t seconds) {
    try {
        sockaddr_un address;
        if (!PipeAddress(name, false, address)) return 0;
        return WaitUntilFree(address, seconds) ? 1 : 0;
    } catch (const std::bad_alloc &) {
        return 0;
    }
}

RD_EXPORT RDIPCHandle RDIPCOpen(const char *name, uint32_t seconds) {
    int fd;
    try {
        fd = OpenFd(name, seconds);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    if (fd < 0) return nullptr;
    RDIPCPipe *pipe = NewPipe();
    if (pipe == nullptr) {
        close(fd);
        return nullptr;
    }
    pipe->fd = fd;
    return pipe;
}

} // extern "C"
