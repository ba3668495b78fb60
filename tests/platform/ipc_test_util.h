// SPDX-License-Identifier: Apache-2.0
// Helpers shared by the named-pipe tests: raw sockets for misbehaving peers,
// whole-message reads, a stopwatch and a count of open descriptors.
#pragma once

#include "platform_test.h"

#include <chrono>
#include <dirent.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace ipctest {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// n bytes whose pattern differs with the seed, so that pieces of different
// messages cannot be mistaken for each other.
inline std::string Pattern(size_t n, int seed) {
    std::string text(n, '\0');
    for (size_t i = 0; i < n; ++i)
        text[i] = static_cast<char>('A' + (i * 7 + seed) % 26);
    return text;
}

// A socket made without the library: connected to path, or (listen) bound
// and listening there. -1 on failure.
inline int RawSocket(const std::string &path, bool listen = false, int flags = 0) {
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | flags, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    auto *raw = reinterpret_cast<sockaddr *>(&address);
    bool ok = listen ? bind(fd, raw, sizeof address) == 0 && ::listen(fd, 4) == 0
                     : connect(fd, raw, sizeof address) == 0;
    if (ok) return fd;
    close(fd);
    return -1;
}

// Reads one message in pieces of chunk bytes until the more-data flag clears.
inline std::string ReadWhole(RDIPCHandle pipe, uint32_t chunk) {
    std::string message, buffer(chunk, '\0');
    uint32_t got = 0, more = 1;
    while (more == 1) {
        if (RDIPCRead(pipe, buffer.data(), chunk, &got, &more) != 1) return message + "<failed>";
        message.append(buffer.data(), got);
    }
    return message;
}

inline bool Send(RDIPCHandle pipe, const std::string &message) {
    uint32_t written = 0;
    return RDIPCWrite(pipe, message.data(), static_cast<uint32_t>(message.size()), &written) == 1 &&
           written == message.size();
}

// The descriptors open in this process.
inline int OpenDescriptors() {
    DIR *dir = opendir("/proc/self/fd");
    int count = 0;
    while (dir != nullptr && readdir(dir) != nullptr)
        ++count;
    if (dir != nullptr) closedir(dir);
    return count;
}

} // namespace ipctest
