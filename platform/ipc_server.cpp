// SPDX-License-Identifier: Apache-2.0
// Server instances: creation, connecting a client, polling for its first
// request and ending its connection.
#include "ipc_handle.h"
#include "ipc_path.h"

#include <cerrno>
#include <new>

namespace {

using rdplat::ipc::AcceptClient;

// Connects the instance to a client. Done when one is connected, or, in
// non-blocking mode, when the instance listens (nobody waiting yet); in
// blocking mode waits for the client.
bool ConnectInstance(RDIPCPipe &pipe) {
    if (!pipe.IsServer()) return false;
    if (pipe.fd >= 0) return true;
    pipe.fd = AcceptClient(*pipe.listener, !pipe.noWait, pipe.noWait);
    if (pipe.fd >= 0) return true;
    return pipe.noWait && (errno == EAGAIN || errno == EWOULDBLOCK);
}

} // namespace

extern "C" {

RD_EXPORT RDIPCHandle RDIPCCreate(const char *name) {
    sockaddr_un address;
    RDIPCPipe *pipe = nullptr;
    try {
        if (!rdplat::ipc::PipeAddress(name, true, address)) return nullptr;
        pipe = rdplat::ipc::NewPipe();
        if (pipe == nullptr) return nullptr;
        pipe->listener = rdplat::ipc::AcquireInstance(address);
    } catch (const std::bad_alloc &) {
        // the instance was not added; fall through with no listener
    }
    if (pipe != nullptr && !pipe->IsServer()) {
        rdplat::ipc::DeletePipe(pipe);
        pipe = nullptr;
    }
    return pipe;
}

RD_EXPORT RDIPCHandle RDIPCWaitForConnection(RDIPCHandle server) {
    return server != nullptr && ConnectInstance(*server) ? server : nullptr;
}

RD_EXPORT int RDIPCAllowClientConnections(RDIPCHandle server) {
    return server != nullptr && ConnectInstance(*server) ? 1 : 0;
}

RD_EXPORT RDIPCHandle RDIPCCheckForConnection(RDIPCHandle server) {
    return RDIPCPeek(server) == 1 ? server : nullptr;
}

RD_EXPORT int RDIPCDisconnect(RDIPCHandle server) {
    if (server == nullptr || !server->IsServer()) return 0;
    rdplat::ipc::DropConnection(*server);
    return 1;
}

} // extern "C"
