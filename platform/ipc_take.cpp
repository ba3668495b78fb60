// SPDX-License-Identifier: Apache-2.0
// Taking clients off a server instance as handles of their own, and the
// descriptor to wait on, so that a server can hold many connections without
// a thread each and wait for them all at once (poll or epoll).
#include "ipc_handle.h"

#include <unistd.h>

extern "C" {

RD_EXPORT RDIPCHandle RDIPCTakeClient(RDIPCHandle server) {
    if (server == nullptr || !server->IsServer()) return nullptr;
    const int fd = rdplat::ipc::AcceptClient(*server->listener, !server->noWait, false);
    if (fd < 0) return nullptr;
    RDIPCPipe *pipe = rdplat::ipc::NewPipe();
    if (pipe == nullptr) {
        close(fd);
        return nullptr;
    }
    pipe->fd = fd;
    return pipe;
}

RD_EXPORT int RDIPCDescriptor(RDIPCHandle pipe) {
    if (pipe == nullptr) return -1;
    if (pipe->fd >= 0) return pipe->fd;
    return pipe->IsServer() ? pipe->listener->fd : -1;
}

} // extern "C"
