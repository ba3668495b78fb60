// SPDX-License-Identifier: Apache-2.0
// Message input and output on a pipe handle, shared by the read, write and
// transact functions.
#pragma once

#include "ipc_handle.h"

#include <cstdint>

namespace rdplat::ipc {

// Reads at most size bytes of the next message, or of the rest of the last
// one. A message longer than size is taken whole: the first size bytes go to
// buffer, the rest stays with the handle and more is set. False on failure,
// including the peer's close; an empty message, and one longer than any
// reader takes, are taken away, and any other failed read consumes nothing.
bool ReadMessage(RDIPCPipe &pipe, char *buffer, uint32_t size, uint32_t &got, bool &more);

// Sends data as one message; true when all of it was accepted. A length of 0
// sends nothing, because an empty message could not be told from the close.
bool WriteMessage(RDIPCPipe &pipe, const char *data, uint32_t length);

// True when bytes are waiting to be read on the handle.
bool BytesWaiting(RDIPCPipe &pipe);

} // namespace rdplat::ipc
