// SPDX-License-Identifier: Apache-2.0
#include "ipc_listener.h"

#include "ipc_path.h"
#include "ipc_probe.h"
#include "rdplat_ipc.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdplat::ipc {

namespace {

std::mutex registryLock;
std::map<std::string, std::shared_ptr<Listener>> registry;

// True when a server answers at address; a refused connection means the
// socket file was left behind by a server that is gone. A live server takes
// this connection as a client that never speaks, so it is tried only where
// the system's socket list cannot be read.
bool ServerAnswers(const sockaddr_un &address) {
    int probe = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (probe < 0) return true;
    int rc = connect(probe, reinterpret_cast<const sockaddr *>(&address), AddressLength(address));
    bool alive = rc == 0 || (errno != ECONNREFUSED && errno != ENOENT);
    close(probe);
    return alive;
}

// True when a server of any process listens on the socket file at address
// (or any other program: its socket is not ours to replace).
bool ServerAlive(const sockaddr_un &address) {
    ListenerState state = ProbeListener(address, true);
    return state == ListenerState::Unknown ? ServerAnswers(address)
                                           : state != ListenerState::Missing;
}

bool BindListener(int fd, const sockaddr_un &address) {
    auto *raw = reinterpret_cast<const sockaddr *>(&address);
    if (bind(fd, raw, AddressLength(address)) == 0) return true;
    if (errno != EADDRINUSE || ServerAlive(address)) return false;
    struct stat info {};
    if (lstat(address.sun_path, &info) != 0 || !S_ISSOCK(info.st_mode)) return false;
    unlink(address.sun_path);
    return bind(fd, raw, AddressLength(address)) == 0;
}

std::shared_ptr<Listener> OpenListener(const sockaddr_un &address) {
    auto listener = std::make_shared<Listener>();
    listener->path = address.sun_path;
    listener->owner = getpid();
    listener->user = PipeUser();
    listener->fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (listener->fd < 0 || !BindListener(listener->fd, address)) return nullptr;
    struct stat info {};
    if (stat(address.sun_path, &info) != 0) return nullptr;
    listener->device = info.st_dev;
    listener->inode = info.st_ino;
    if (listen(listener->fd, RDIPC_MAX_INSTANCES) != 0) return nullptr;
    return listener;
}

bool PeerAllowed(int fd, uid_t user) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return false;
    return peer.uid == user || peer.uid == 0;
}

} // namespace

Listener::~Listener() {
    if (fd < 0) return;
    close(fd);
    // Remove the socket file only while it is still the one this process
    // bound: a newer server may have replaced it.
    struct stat info {};
    if (owner == getpid() && stat(path.c_str(), &info) == 0 && info.st_dev == device &&
        info.st_ino == inode)
        unlink(path.c_str());
}

std::shared_ptr<Listener> AcquireInstance(const sockaddr_un &address) {
    std::lock_guard guard(registryLock);
    auto found = registry.find(address.sun_path);
    if (found != registry.end() && found->second->owner != getpid()) {
        registry.erase(found); // inherited through fork: not ours to serve
        found = registry.end();
    }
    if (found == registry.end()) {
        auto listener = OpenListener(address);
        if (!listener) return nullptr;
        found = registry.emplace(listener->path, listener).first;
    }
    if (found->second->instances >= RDIPC_MAX_INSTANCES) return nullptr;
    ++found->second->instances;
    return found->second;
}

void ReleaseInstance(std::shared_ptr<Listener> &listener) {
    if (!listener) return;
    {
        std::lock_guard guard(registryLock);
        if (--listener->instances == 0) {
            auto found = registry.find(listener->path);
            if (found != registry.end() && found->second == listener) registry.erase(found);
        }
    }
    listener.reset();
}

namespace {

void SwitchToNonBlocking(Listener &listener) {
    if (listener.nonBlocking.load(std::memory_order_acquire)) return;
    std::lock_guard guard(listener.modeLock);
    if (listener.nonBlocking.load(std::memory_order_relaxed)) return;
    int flags = fcntl(listener.fd, F_GETFL);
    if (flags >= 0 && fcntl(listener.fd, F_SETFL, flags | O_NONBLOCK) == 0)
        listener.nonBlocking.store(true, std::memory_order_release);
}

} // namespace

int AcceptClient(Listener &listener, bool wait, bool nonBlocking) {
    if (!wait) {
        SwitchToNonBlocking(listener);
        if (!listener.nonBlocking.load(std::memory_order_acquire)) return -1;
    }
    int flags = SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0);
    for (;;) {
        if (wait && listener.nonBlocking.load(std::memory_order_acquire)) {
            pollfd ready{listener.fd, POLLIN, 0};
            if (poll(&ready, 1, -1) < 0 && errno != EINTR) return -1;
        }
        int fd = accept4(listener.fd, nullptr, nullptr, flags);
        if (fd >= 0) {
            if (PeerAllowed(fd, listener.user)) return fd;
            close(fd);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
        if (!wait) return -1;
    }
}

} // namespace rdplat::ipc
