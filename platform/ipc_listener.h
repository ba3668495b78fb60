// SPDX-License-Identifier: Apache-2.0
// The listening socket behind the server instances of one pipe name. All
// instances of a name in this process share it; the last one to go closes it
// and removes the socket file.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>

namespace rdplat::ipc {

struct Listener {
    // Blocking while every instance waits in blocking mode, so that a waiting
    // instance sleeps in accept itself; switched to non-blocking for good at
    // the first non-blocking attempt, after which waiting instances poll.
    int fd = -1;
    std::atomic<bool> nonBlocking{false};
    std::mutex modeLock;
    std::string path;
    dev_t device = 0; // identity of the socket file this process bound
    ino_t inode = 0;
    pid_t owner = 0; // a forked child must not remove its parent's socket
    uid_t user = 0;  // the server's user, whose clients are served
    uint32_t instances = 0;
    ~Listener();
};

// Adds an instance to the listener of address, creating the socket when this
// process has none yet. A socket file left by a dead server is replaced; a
// live server of another process, a full set of instances or any failure
// gives null. May throw std::bad_alloc.
std::shared_ptr<Listener> AcquireInstance(const sockaddr_un &address);

// Removes one instance; the listener's last instance closes the socket.
void ReleaseInstance(std::shared_ptr<Listener> &listener);

// The next client of the user's own (or root), as a connected descriptor.
// Peers of other users are turned away. With wait, blocks until one arrives;
// without, returns -1 with errno EAGAIN when none is waiting.
int AcceptClient(Listener &listener, bool wait, bool nonBlocking);

} // namespace rdplat::ipc
