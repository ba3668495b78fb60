// SPDX-License-Identifier: Apache-2.0
#include "copy_lock.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdcopy {
namespace {

// FNV-1a over the text: 16 hex digits.
std::string Hash(const std::string &text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text)
        hash = (hash ^ c) * 1099511628211ull;
    static const char digits[] = "0123456789abcdef";
    std::string hex(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        hex[static_cast<size_t>(i)] = digits[hash & 15];
    return hex;
}

// The user's own folder of copy locks: in the runtime folder when there is
// one, else in /tmp; made 0700, and refused when it is a link, another
// user's, or writable by others.
bool LockFolder(std::string &folder, std::string &error) {
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    folder = runtime != nullptr && runtime[0] == '/' ? std::string(runtime) + "/rdx-copy"
                                                     : "/tmp/rdx-copy-" + std::to_string(getuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
        (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        error = folder + " is not a private folder of this user";
        return false;
    }
    return true;
}

} // namespace

CopyLock::~CopyLock() {
    if (fd_ >= 0) close(fd_);
}

bool CopyLock::Take(const std::string &name, const std::string &target, bool &busy,
                    std::string &error) {
    busy = false;
    std::string folder;
    if (!LockFolder(folder, error)) return false;
    const std::string path = folder + "/" + Hash(name + '\0' + target) + ".lock";
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        busy = errno == EWOULDBLOCK;
        if (!busy) error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace rdcopy
