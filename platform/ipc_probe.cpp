// SPDX-License-Identifier: Apache-2.0
// The kernel's socket-diagnostics interface lists every listening Unix socket
// with the inode of the file it is bound to and the length of its queue of
// clients not yet accepted; matching the file's inode finds the pipe's server.
#include "ipc_probe.h"

#include <cerrno>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace rdplat::ipc {

namespace {

struct Request {
    nlmsghdr header;
    unix_diag_req body;
};

// The kernel reports the device number in its own encoding (major << 20).
bool SameDevice(uint32_t kernelDevice, dev_t device) {
    return (kernelDevice >> 20) == major(device) && (kernelDevice & 0xfffffu) == minor(device);
}

// Looks through one netlink message of the dump; true once the socket bound
// to the file was found, with its state in state.
bool Inspect(const nlmsghdr *message, const struct stat &file, bool anyType, ListenerState &state) {
    auto *diag = static_cast<const unix_diag_msg *>(NLMSG_DATA(message));
    if (!anyType && diag->udiag_type != SOCK_SEQPACKET) return false;
    int left = static_cast<int>(message->nlmsg_len - NLMSG_LENGTH(sizeof *diag));
    bool matches = false, haveQueue = false;
    unix_diag_rqlen queue{};
    for (auto *attr = reinterpret_cast<const rtattr *>(diag + 1); RTA_OK(attr, left);
         attr = RTA_NEXT(attr, left)) {
        if (attr->rta_type == UNIX_DIAG_VFS && RTA_PAYLOAD(attr) >= sizeof(unix_diag_vfs)) {
            auto *vfs = static_cast<const unix_diag_vfs *>(RTA_DATA(attr));
            matches =
                vfs->udiag_vfs_ino == file.st_ino && SameDevice(vfs->udiag_vfs_dev, file.st_dev);
        } else if (attr->rta_type == UNIX_DIAG_RQLEN && RTA_PAYLOAD(attr) >= sizeof queue) {
            queue = *static_cast<const unix_diag_rqlen *>(RTA_DATA(attr));
            haveQueue = true;
        }
    }
    if (!matches) return false;
    // The kernel refuses a connection once more clients wait than the backlog.
    state = haveQueue && queue.udiag_rqueue > queue.udiag_wqueue ? ListenerState::Busy
                                                                 : ListenerState::Free;
    return true;
}

// Walks the dump of listening Unix sockets; false when it cannot be had.
bool DumpListeners(int diag, const struct stat &file, bool anyType, ListenerState &state) {
    Request request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.body.sdiag_family = AF_UNIX;
    request.body.udiag_states = 1u << TCP_LISTEN;
    request.body.udiag_show = UDIAG_SHOW_VFS | UDIAG_SHOW_RQLEN;
    if (send(diag, &request, sizeof request, 0) != static_cast<ssize_t>(sizeof request))
        return false;
    alignas(nlmsghdr) char buffer[16384];
    bool found = false;
    for (;;) {
        ssize_t got = recv(diag, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        int left = static_cast<int>(got);
        for (auto *message = reinterpret_cast<const nlmsghdr *>(buffer); NLMSG_OK(message, left);
             message = NLMSG_NEXT(message, left)) {
            if (message->nlmsg_type == NLMSG_DONE) return true;
            if (message->nlmsg_type == NLMSG_ERROR) return false;
            // Keep reading to the end of the dump even after a match.
            if (!found) found = Inspect(message, file, anyType, state);
        }
    }
}

} // namespace

ListenerState ProbeListener(const sockaddr_un &address, bool anyType) {
    struct stat file {};
    if (stat(address.sun_path, &file) != 0 || !S_ISSOCK(file.st_mode))
        return ListenerState::Missing;
    int diag = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (diag < 0) return ListenerState::Unknown;
    ListenerState state = ListenerState::Missing;
    bool listed = DumpListeners(diag, file, anyType, state);
    close(diag);
    return listed ? state : ListenerState::Unknown;
}

} // namespace rdplat::ipc
