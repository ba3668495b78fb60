// SPDX-License-Identifier: Apache-2.0
// Measuring the largest message: sizes are halved between one that went and
// one that did not, each sent without waiting and read away at once.
#include "message_limit.h"

#include "requests.h"

#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rdcsm {

namespace {

// What is assumed where nothing can be measured: a stock system carries it.
constexpr uint32_t kFallback = 256u << 10;
constexpr uint32_t kStep = 1024;

bool Carries(int sender, int receiver, const char *bytes, uint32_t size) {
    if (send(sender, bytes, size, MSG_DONTWAIT | MSG_NOSIGNAL) != static_cast<ssize_t>(size))
        return false;
    char byte = 0;
    recv(receiver, &byte, 1, MSG_DONTWAIT | MSG_TRUNC);
    return true;
}

} // namespace

uint32_t MeasureMessageLimit(uint32_t most) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return kFallback;
    // As large a send buffer as the system grants, as a connection asks for
    // one before a long message.
    int wanted = INT32_MAX / 2;
    setsockopt(ends[0], SOL_SOCKET, SO_SNDBUF, &wanted, sizeof wanted);
    // Pages that are never written cost no memory.
    void *room = mmap(nullptr, most, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    uint32_t went = 0, failed = most + 1;
    if (room != MAP_FAILED) {
        const auto *bytes = static_cast<const char *>(room);
        if (Carries(ends[0], ends[1], bytes, most)) went = most;
        while (failed - went > kStep) {
            const uint32_t size = went + (failed - went) / 2;
            (Carries(ends[0], ends[1], bytes, size) ? went : failed) = size;
        }
        munmap(room, most);
    }
    close(ends[0]);
    close(ends[1]);
    if (went == 0) return kFallback;
    return went == most ? most : went / kStep * kStep;
}

uint32_t MessageLimit() {
    static const uint32_t limit = MeasureMessageLimit(kMaxRequest);
    return limit;
}

} // namespace rdcsm
