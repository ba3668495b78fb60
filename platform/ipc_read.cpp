// Reading messages. A Unix socket drops whatever of a message does not fit the
// buffer given to recv, so a message longer than the reader's buffer is taken
// whole into a block of the handle and handed out piece by piece.
#include "ipc_message.h"
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

} // namespace

bool ReadMessage(RDIPCPipe &pipe, char *buffer, uint32_t size, uint32_t &got, bool &more) {
    got = 0;
    more = false;
    if (pipe.RestLeft() > 0) return ReadFromRest(pipe, buffer, size, got, more);
    int fd = ConnectedFd(pipe);
    if (fd < 0) return false;
    int flags = pipe.noWait ? MSG_DONTWAIT : 0;
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
