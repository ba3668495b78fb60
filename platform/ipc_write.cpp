// SPDX-License-Identifier: Apache-2.0
// Writing messages, waiting for the peer to read them, and the request/answer
// exchange.
#include "ipc_message.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>

namespace rdplat::ipc {

namespace {

ssize_t Send(int fd, const char *data, uint32_t length, int flags) {
    ssize_t sent;
    do {
        sent = send(fd, data, length, flags);
    } while (sent < 0 && errno == EINTR);
    return sent;
}

// The state of the connection as poll tells it.
short PollState(int fd) {
    pollfd state{fd, POLLRDHUP, 0};
    return poll(&state, 1, 0) == 1 ? state.revents : 0;
}

} // namespace

bool WriteMessage(RDIPCPipe &pipe, const char *data, uint32_t length) {
    if (length == 0) return true;
    int fd = ConnectedFd(pipe);
    if (fd < 0) return false;
    int flags = MSG_NOSIGNAL | (pipe.noWait ? MSG_DONTWAIT : 0);
    ssize_t sent = Send(fd, data, length, flags);
    if (sent < 0 && errno == EMSGSIZE) {
        // A message larger than the send buffer needs a larger buffer (as far
        // as the system allows) rather than being split.
        int wanted = static_cast<int>(std::min<uint32_t>(length, INT32_MAX / 2 - 65536) + 65536);
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &wanted, sizeof wanted);
        sent = Send(fd, data, length, flags);
    }
    return sent == static_cast<ssize_t>(length);
}

bool Flush(RDIPCPipe &pipe) {
    int fd = ConnectedFd(pipe);
    if (fd < 0) return false;
    auto pause = std::chrono::microseconds(10);
    for (;;) {
        // The send queue holds what the peer has not read yet. A peer that
        // closes with messages unread drops them, which empties the queue but
        // leaves an error on the connection; one that leaves after reading
        // everything does not.
        int queued = 0;
        if (ioctl(fd, SIOCOUTQ, &queued) != 0) return false;
        short state = PollState(fd);
        if ((state & POLLERR) != 0) return false;
        if (queued == 0) return true;
        if ((state & POLLHUP) != 0) return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(1000));
    }
}

} // namespace rdplat::ipc

namespace {

using rdplat::ipc::Flush;
using rdplat::ipc::WriteMessage;

void Store(uint32_t *out, uint32_t value) {
    if (out != nullptr) *out = value;
}

} // namespace

extern "C" {

RD_EXPORT int RDIPCWrite(RDIPCHandle pipe, const void *data, uint32_t length, uint32_t *written) {
    Store(written, 0);
    if (pipe == nullptr || (data == nullptr && length > 0)) return 0;
    if (!WriteMessage(*pipe, static_cast<const char *>(data), length)) return 0;
    Store(written, length);
    return 1;
}

RD_EXPORT int RDIPCWriteNW(RDIPCHandle pipe, const void *data, uint32_t length, uint32_t *written) {
    Store(written, 0);
    if (pipe == nullptr || (data == nullptr && length > 0)) return 0;
    auto *bytes = static_cast<const char *>(data);
    uint32_t total = 0;
    int result = 1;
    while (total < length) {
        uint32_t piece = std::min(length - total, RDIPC_NW_PIECE);
        if (!WriteMessage(*pipe, bytes + total, piece)) {
            result = 0;
            break;
        }
        total += piece;
        // Each piece is read before the next goes out. A peer that went away
        // shows in the next write.
        Flush(*pipe);
    }
    Store(written, total);
    return result;
}

RD_EXPORT int RDIPCTransact(RDIPCHandle pipe, const void *request, uint32_t requestLength,
                            void *answer, uint32_t answerSize, uint32_t *bytesRead,
                            uint32_t *moreData) {
    Store(bytesRead, 0);
    Store(moreData, 0);
    if (pipe == nullptr || (request == nullptr && requestLength > 0) ||
        (answer == nullptr && answerSize > 0))
        return 0;
    if (!WriteMessage(*pipe, static_cast<const char *>(request), requestLength)) return 0;
    uint32_t got = 0;
    bool more = false;
    if (!rdplat::ipc::ReadMessage(*pipe, static_cast<char *>(answer), answerSize, got, more))
        return 0;
    Store(bytesRead, got);
    Store(moreData, more ? 1 : 0);
    return 1;
}

RD_EXPORT int RDIPCFlush(RDIPCHandle pipe) {
    return pipe != nullptr && Flush(*pipe) ? 1 : 0;
}

} // extern "C"
