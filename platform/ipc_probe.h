// SPDX-License-Identifier: Apache-2.0
// Looks at a pipe's listening socket without connecting to it, so that asking
// whether a server is there never hands the server an empty connection.
#pragma once

#include <sys/un.h>

namespace rdplat::ipc {

enum class ListenerState {
    Missing, // no socket file, or nobody listens on it (a dead server's file)
    Free,    // a server listens and has room for another client
    Busy,    // a server listens but its queue of waiting clients is full
    Unknown, // the socket file exists but the system's socket list cannot be read
};

// The state of the pipe's server. With anyType, a listening socket of
// another type bound to the file (not a pipe server) counts as a server too.
ListenerState ProbeListener(const sockaddr_un &address, bool anyType = false);

} // namespace rdplat::ipc
