// SPDX-License-Identifier: Apache-2.0
// The record behind a pipe handle: one connected socket (or none yet, for a
// server instance), the instance's listener, and the unread rest of a message
// that was longer than the reader's buffer.
#pragma once

#include "ipc_listener.h"
#include "rdplat_ipc.h"

#include <cstdint>
#include <memory>

struct RDIPCPipe {
    int fd = -1; // the connection; -1 while a server instance has no client
    bool noWait = false;
    std::shared_ptr<rdplat::ipc::Listener> listener; // set for server instances
    char *rest = nullptr;     // what is kept of the message being read in pieces
    bool restIsSpare = false; // rest is a reader's room (ipc_spare.h), else an RDMem block
    uint32_t restOffset = 0;  // first unread byte of rest
    uint32_t restLength = 0;  // bytes kept in rest

    bool IsServer() const { return listener != nullptr; }
    uint32_t RestLeft() const { return restLength - restOffset; }
};

namespace rdplat::ipc {

// A new record from the RDMem heap, or null.
RDIPCPipe *NewPipe();

// Closes everything the record holds and frees it.
void DeletePipe(RDIPCPipe *pipe);

// Forgets the unread rest of a message.
void DropRest(RDIPCPipe &pipe);

// Ends the current connection, if any.
void DropConnection(RDIPCPipe &pipe);

// The connected descriptor, or -1. A server instance without a client takes
// one that is already waiting, as a listening instance connects by itself.
int ConnectedFd(RDIPCPipe &pipe);

} // namespace rdplat::ipc
