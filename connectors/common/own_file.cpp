// SPDX-License-Identifier: Apache-2.0
#include "own_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdxc {
namespace {

// "name (uid)", or the number alone for a user without an entry.
std::string UserName(uid_t uid) {
    passwd entry{}, *found = nullptr;
    char buffer[1024];
    const std::string number = std::to_string(uid);
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr)
        return "user " + number;
    return std::string(entry.pw_name) + " (" + number + ")";
}

// Why an open descriptor of path is not a file the copy may use, or "".
std::string Refusal(int fd, const std::string &path) {
    struct stat info {};
    const std::string file = "the file " + path;
    if (::fstat(fd, &info) != 0) return file + " cannot be examined: " + std::strerror(errno);
    if (!S_ISREG(info.st_mode)) return file + " is not a regular file";
    if (info.st_uid != ::geteuid())
        return file + " belongs to " + UserName(info.st_uid) + ", not to " + UserName(::geteuid()) +
               " who runs the copy: a copy writes only to its own files";
    if (info.st_nlink != 1)
        return file + " has " + std::to_string(info.st_nlink) +
               " names (hard links): a copy writes only to a file that has one";
    return std::string();
}

} // namespace

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FileDescriptor OpenOwnFile(const std::string &path, int flags, std::string &error, bool *missing) {
    if (missing != nullptr) *missing = false;
    // Not blocking: a FIFO laid at the name would wait for a reader.
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int cause = errno;
        struct stat info {};
        const bool exists = ::lstat(path.c_str(), &info) == 0;
        if (exists && S_ISLNK(info.st_mode))
            error = "the file " + path +
                    " is a symbolic link: a copy does not write through a link, which "
                    "could point anywhere";
        else if (exists && !S_ISREG(info.st_mode))
            error = "the file " + path + " is not a regular file";
        else
            error = "the file " + path + " cannot be opened: " + std::strerror(cause);
        if (missing != nullptr) *missing = cause == ENOENT;
        return FileDescriptor();
    }
    FileDescriptor file(fd);
    error = Refusal(fd, path);
    if (!error.empty()) return FileDescriptor();
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return file;
}

} // namespace rdxc
