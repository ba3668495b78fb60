// SPDX-License-Identifier: Apache-2.0
// Settings of one connection: a bound on how long its reads and writes wait
// for the peer, and the process at its other end.
#include "ipc_handle.h"

#include <sys/socket.h>
#include <sys/time.h>

extern "C" {

RD_EXPORT int RDIPCSetTimeout(RDIPCHandle pipe, uint32_t milliseconds) {
    if (pipe == nullptr || pipe->fd < 0) return 0;
    // A zero timeval means no bound to the kernel as well.
    timeval limit{static_cast<time_t>(milliseconds / 1000),
                  static_cast<suseconds_t>(milliseconds % 1000 * 1000)};
    bool set = setsockopt(pipe->fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0 &&
               setsockopt(pipe->fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) == 0;
    return set ? 1 : 0;
}

RD_EXPORT uint32_t RDIPCPeerProcess(RDIPCHandle pipe) {
    if (pipe == nullptr || pipe->fd < 0) return 0;
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(pipe->fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return 0;
    // 0 also when the peer lives in a process-id namespace this one cannot see.
    return peer.pid > 0 ? static_cast<uint32_t>(peer.pid) : 0;
}

} // extern "C"
