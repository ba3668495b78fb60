// SPDX-License-Identifier: Apache-2.0
// Anonymous pipes: pipe2 descriptors stored as descriptor + 1, both ends
// inheritable by child processes.
#include "rdplat_proc.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

uintptr_t ToHandle(int fd) {
    return static_cast<uintptr_t>(fd) + 1;
}

// The descriptor of a pipe end, -1 for an empty or impossible one.
int FromHandle(uintptr_t handle) {
    return handle >= 1 && handle <= static_cast<uintptr_t>(INT_MAX) ? static_cast<int>(handle - 1)
                                                                    : -1;
}

// Writes with SIGPIPE blocked in this thread, so that a pipe without a
// reader fails the write instead of ending the process. A SIGPIPE raised by
// this write is taken off the thread before the old mask comes back.
ssize_t WriteWithoutSigpipe(int fd, const void *data, size_t count) {
    sigset_t sigpipe, old;
    sigemptyset(&sigpipe);
    sigaddset(&sigpipe, SIGPIPE);
    bool wasPending = false;
    if (pthread_sigmask(SIG_BLOCK, &sigpipe, &old) == 0) {
        sigset_t pending;
        wasPending = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
    }
    ssize_t written;
    do
        written = write(fd, data, count);
    while (written < 0 && errno == EINTR);
    if (written < 0 && errno == EPIPE && !wasPending) {
        const timespec now{0, 0};
        while (sigtimedwait(&sigpipe, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return written;
}

// Linux releases a descriptor even when close reports an error, and one the
// caller closed itself may already carry another file, so an end is never
// closed twice: true only when the close succeeded.
bool CloseEnd(uintptr_t &handle) {
    int fd = FromHandle(handle);
    handle = 0;
    return fd >= 0 && close(fd) == 0;
}

} // namespace

extern "C" {

RD_EXPORT uint32_t RDProcPipeCreate(uint32_t size, RDProcPipe *pipe) {
    if (pipe == nullptr) return RDSTATUS_PIPECREATE;
    *pipe = RDProcPipe{};
    pipe->bufferSize = size;
    int fds[2];
    if (pipe2(fds, 0) != 0) return RDSTATUS_PIPECREATE;
    // The kernel rounds the size up to whole pages and refuses sizes above
    // its limit; the pipe then keeps the size it has.
    if (size != 0 && size <= INT32_MAX) fcntl(fds[1], F_SETPIPE_SZ, static_cast<int>(size));
    pipe->readEnd = ToHandle(fds[0]);
    pipe->writeEnd = ToHandle(fds[1]);
    return RDSTATUS_OK;
}

RD_EXPORT uint32_t RDProcPipeFill(uint32_t count, const void *data, RDProcPipe *pipe) {
    if (pipe == nullptr || data == nullptr || count == 0) return RDSTATUS_PIPEFILL;
    ssize_t written = WriteWithoutSigpipe(FromHandle(pipe->writeEnd), data, count);
    return written > 0 ? RDSTATUS_OK : RDSTATUS_PIPEFILL;
}

RD_EXPORT uint32_t RDProcPipeEmpty(uint32_t count, void *buffer, RDProcPipe *pipe) {
    if (pipe == nullptr || buffer == nullptr || count == 0) return RDSTATUS_PIPEEMPTY;
    ssize_t got;
    do
        got = read(FromHandle(pipe->readEnd), buffer, count);
    while (got < 0 && errno == EINTR);
    return got > 0 ? RDSTATUS_OK : RDSTATUS_PIPEEMPTY;
}

RD_EXPORT int RDProcPipePeek(const RDProcPipe *pipe) {
    if (pipe == nullptr) return 0;
    int waiting = 0;
    if (ioctl(FromHandle(pipe->readEnd), FIONREAD, &waiting) != 0) return 0;
    return waiting > 0 ? 1 : 0;
}

RD_EXPORT uint32_t RDProcPipeDestroy(RDProcPipe *pipe) {
    if (pipe == nullptr) return RDSTATUS_PIPEDESTROY;
    bool readClosed = CloseEnd(pipe->readEnd);
    bool writeClosed = CloseEnd(pipe->writeEnd);
    if (!readClosed || !writeClosed) return RDSTATUS_PIPEDESTROY;
    *pipe = RDProcPipe{};
    return RDSTATUS_OK;
}

} // extern "C"
