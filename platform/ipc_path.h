// SPDX-License-Identifier: Apache-2.0
// Where pipes live: the pipe folder and the socket address of a short name.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>

namespace rdplat::ipc {

// The socket address of pipe name in the pipe folder (ipc_folder.h). False
// when the name is invalid (null, empty, "." or "..", containing '/', longer
// than RDIPC_NAME_MAX), when a folder is unsafe (another owner, writable by
// others, not a folder) or when the path does not fit a socket address; the
// last two set the thread's folder error, which every call clears first.
// create makes missing folders (mode 0700); without it a missing folder is
// reported through folderMissing.
bool PipeAddress(const char *name, bool create, sockaddr_un &address,
                 bool *folderMissing = nullptr);

// The user whose pipes this process serves and uses: the effective user at
// the first use of a pipe, read once (a process that changes its effective
// user afterwards keeps the first one's pipes).
uid_t PipeUser();

// The length to pass to bind and connect for address.
socklen_t AddressLength(const sockaddr_un &address);

} // namespace rdplat::ipc
