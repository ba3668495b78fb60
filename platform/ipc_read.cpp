// SPDX-License-Identifier: Apache-2.0
// Reading messages. A Unix socket drops whatever of a message does not fit the
// buffers given to the read, so a read offers the reader's buffer and, behind
// it, the thread's room for the rest (ipc_spare.h): one read takes any message
// whole, and a rest is handed out piece by piece. Without that room the
// message's length is asked for first and a longer message is taken whole
// into a block of the handle.
#include "ipc_message.h"
#include "ipc_spare.h"
#include "rdplat_mem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/socket.h>

namespace rdplat::ipc {

namespace {

ssize_t Receive(int fd, void *buffer, size_t size, int flags) {
    ssize_t got;
    do {
        got = recv(fd, buffer, size, flags);
    } while (got < 0 && errno == EINTR);
    return got;
}

bool ReadFromRest(RDIPCPipe &pipe, char *buffer, uint32_t size, uint32_t &got, bool &more) {
    got = std::min(size, pipe.RestLeft());
    if (got > 0) std::memcpy(buffer, pipe.rest + pipe.restOffset, got);
    pipe.restOffset += got;
    more = pipe.RestLeft() > 0;
    if (!more) DropRest(pipe);
    return true;
}

// One read into the buffer and the room behind it; the message's whole
// length, 0 at the peer's close (or for an empty message, which is taken
// away with it), -1 on failure.
ssize_t ReceiveScattered(int fd, char *buffer, uint32_t size, char *spare, int flags) {
    iovec parts[2] = {{buffer, size}, {spare, kSpareSize}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = 2;
    ssize_t got;
    do {
        got = recvmsg(fd, &message, flags | MSG_TRUNC);
    } while (got < 0 && errno == EINTR);
    return got;
}

bool ReadWithSpare(RDIPCPipe &pipe, int fd, char *spare, char *buffer, uint32_t size, int flags,
                   uint32_t &got, bool &more) {
    ssize_t length = ReceiveScattered(fd, buffer, size, spare, flags);
    if (length <= 0) return false;
    if (length <= static_cast<ssize_t>(size)) {
        got = static_cast<uint32_t>(length);
        return true;
    }
    // A message longer than both was cut by the system: refused.
    if (static_cast<size_t>(length) - size > kSpareSize) return false;
    pipe.rest = TakeThreadSpare();
    pipe.restIsSpare = true;
    pipe.restOffset = 0;
    pipe.restLength = static_cast<uint32_t>(static_cast<size_t>(length) - size);
    got = size;
    more = true;
    return true;
}

// Takes a message longer than the buffer whole and keeps its rest.
bool ReadLongMessage(RDIPCPipe &pipe, int fd, ssize_t length, char *buffer, uint32_t size,
                     int flags) {
    if (length > INT32_MAX) return false;
    auto *whole = static_cast<char *>(RDMemAlloc(static_cast<int32_t>(length)));
    if (whole == nullptr) return false; // the message stays queued
    if (Receive(fd, whole, static_cast<size_t>(length), flags) != length) {
        RDMemFree(whole);
        return false;
    }
    if (size > 0) std::memcpy(buffer, whole, size);
    pipe.rest = whole;
    pipe.restOffset = size;
    pipe.restLength = static_cast<uint32_t>(length);
    return true;
}

// The read without a room for the rest: the length first, then the message.
bool ReadMeasured(RDIPCPipe &pipe, int fd, char *buffer, uint32_t size, int flags, uint32_t &got,
                  bool &more) {
    ssize_t length = Receive(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC | flags);
    if (length == 0) {
        // The peer's close, or an empty message from a foreign writer: take
        // the latter away so that it cannot block the pipe.
        Receive(fd, nullptr, 0, MSG_DONTWAIT);
        return false;
    }
    if (length < 0) return false;
    if (length > static_cast<ssize_t>(size)) {
        if (!ReadLongMessage(pipe, fd, length, buffer, size, flags)) return false;
        got = size;
        more = true;
        return true;
    }
    if (Receive(fd, buffer, size, flags) != length) return false;
    got = static_cast<uint32_t>(length);
    return true;
}

} // namespace

bool ReadMessage(RDIPCPipe &pipe, char *buffer, uint32_t size, uint32_t &got, bool &more) {
    got = 0;
    more = false;
    if (pipe.RestLeft() > 0) return ReadFromRest(pipe, buffer, size, got, more);
    int fd = ConnectedFd(pipe);
    if (fd < 0) return false;
    int flags = pipe.noWait ? MSG_DONTWAIT : 0;
    char *spare = ThreadSpare();
    return spare != nullptr ? ReadWithSpare(pipe, fd, spare, buffer, size, flags, got, more)
                            : ReadMeasured(pipe, fd, buffer, size, flags, got, more);
}

bool BytesWaiting(RDIPCPipe &pipe) {
    if (pipe.RestLeft() > 0) return true;
    int fd = ConnectedFd(pipe);
    return fd >= 0 && Receive(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT) > 0;
}

} // namespace rdplat::ipc

namespace {

void Clear(uint32_t *bytesRead, uint32_t *flag) {
    if (bytesRead != nullptr) *bytesRead = 0;
    if (flag != nullptr) *flag = 0;
}

int Read(RDIPCHandle pipe, void *buffer, uint32_t size, uint32_t *bytesRead, uint32_t *more,
         bool reportPending) {
    Clear(bytesRead, more);
    if (pipe == nullptr || (buffer == nullptr && size > 0)) return 0;
    uint32_t got = 0;
    bool longer = false;
    if (!rdplat::ipc::ReadMessage(*pipe, static_cast<char *>(buffer), size, got, longer)) return 0;
    if (reportPending) longer = rdplat::ipc::BytesWaiting(*pipe);
    if (bytesRead != nullptr) *bytesRead = got;
    if (more != nullptr) *more = longer ? 1 : 0;
    return 1;
}

} // namespace

extern "C" {

RD_EXPORT int RDIPCRead(RDIPCHandle pipe, void *buffer, uint32_t size, uint32_t *bytesRead,
                        uint32_t *moreData) {
    return Read(pipe, buffer, size, bytesRead, moreData, false);
}

RD_EXPORT int RDIPCReadNW(RDIPCHandle pipe, void *buffer, uint32_t size, uint32_t *bytesRead,
                          uint32_t *morePending) {
    return Read(pipe, buffer, size, bytesRead, morePending, true);
}

RD_EXPORT int RDIPCPeek(RDIPCHandle pipe) {
    return pipe != nullptr && rdplat::ipc::BytesWaiting(*pipe) ? 1 : 0;
}

} // extern "C"
