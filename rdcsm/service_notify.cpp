// SPDX-License-Identifier: Apache-2.0
#include "service_notify.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace rdcsm {

bool NotifyServiceManager(const std::string &state, std::string *failure) {
    const char *named = std::getenv("NOTIFY_SOCKET");
    if (named == nullptr || named[0] == '\0') return true;
    const std::string path(named);
    unsetenv("NOTIFY_SOCKET");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // A path, or '@' for a name in the abstract namespace (a leading NUL).
    if ((path[0] != '/' && path[0] != '@') || path.size() >= sizeof address.sun_path) {
        *failure = "NOTIFY_SOCKET names no usable socket: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    if (path[0] == '@') address.sun_path[0] = '\0';
    const socklen_t length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + (path[0] == '/'));
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *failure = std::string("socket for NOTIFY_SOCKET: ") + std::strerror(errno);
        return false;
    }
    ssize_t sent;
    do {
        sent = sendto(fd, state.data(), state.size(), MSG_NOSIGNAL,
                      reinterpret_cast<const sockaddr *>(&address), length);
    } while (sent < 0 && errno == EINTR);
    const int error = errno;
    close(fd);
    if (sent != static_cast<ssize_t>(state.size())) {
        *failure = "cannot notify " + path + ": " + std::strerror(sent < 0 ? error : EMSGSIZE);
        return false;
    }
    return true;
}

} // namespace rdcsm
