// SPDX-License-Identifier: Apache-2.0
#include "ipc_handle.h"
#include "ipc_spare.h"

#include "rdplat_mem.h"

#include <fcntl.h>
#include <new>
#include <sys/socket.h>
#include <unistd.h>

namespace rdplat::ipc {

RDIPCPipe *NewPipe() {
    void *block = RDMemAlloc(static_cast<int32_t>(sizeof(RDIPCPipe)));
    return block == nullptr ? nullptr : new (block) RDIPCPipe();
}

void DeletePipe(RDIPCPipe *pipe) {
    DropConnection(*pipe);
    ReleaseInstance(pipe->listener);
    pipe->~RDIPCPipe();
    RDMemFree(pipe);
}

void DropRest(RDIPCPipe &pipe) {
    if (pipe.restIsSpare)
        FreeSpare(pipe.rest);
    else
        RDMemFree(pipe.rest);
    pipe.rest = nullptr;
    pipe.restIsSpare = false;
    pipe.restOffset = pipe.restLength = 0;
}

void DropConnection(RDIPCPipe &pipe) {
    DropRest(pipe);
    if (pipe.fd < 0) return;
    close(pipe.fd);
    pipe.fd = -1;
}

int ConnectedFd(RDIPCPipe &pipe) {
    if (pipe.fd < 0 && pipe.IsServer()) pipe.fd = AcceptClient(*pipe.listener, false, pipe.noWait);
    return pipe.fd;
}

} // namespace rdplat::ipc

extern "C" {

RD_EXPORT int RDIPCClose(RDIPCHandle pipe) {
    if (pipe == nullptr) return 0;
    rdplat::ipc::DeletePipe(pipe);
    return 1;
}

RD_EXPORT int RDIPCShutdown(RDIPCHandle pipe) {
    return RDIPCClose(pipe);
}

RD_EXPORT int RDIPCSetNoWait(RDIPCHandle pipe) {
    if (pipe == nullptr) return 0;
    if (pipe->fd >= 0) {
        int flags = fcntl(pipe->fd, F_GETFL);
        if (flags < 0 || fcntl(pipe->fd, F_SETFL, flags | O_NONBLOCK) != 0) return 0;
    }
    pipe->noWait = true;
    return 1;
}

} // extern "C"
