// SPDX-License-Identifier: Apache-2.0
#include "registry_store.h"

#include "file_regular.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdplat::registry {

namespace {

std::string HomeFolder() {
    const char *home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return home;
    struct passwd entry, *found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return {};
}

// Creates every missing folder on the way to the file's own folder.
void MakeParents(const std::string &path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700); // an existing folder is fine
}

bool WriteAll(int fd, const std::string &text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A replaced file keeps the permissions of the old one; a new one is private.
mode_t ModeOf(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0600;
}

} // namespace

std::string RegistryPath() {
    const char *explicitPath = std::getenv("RD_REGISTRY");
    if (explicitPath != nullptr && *explicitPath != '\0') return explicitPath;
    std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config/rdx/registry";
}

LoadResult LoadFile(const std::string &path, std::string &text) {
    text.clear();
    int fd = OpenRegularForReading(path.c_str());
    if (fd < 0) return errno == ENOENT ? LoadResult::Missing : LoadResult::Failed;
    char chunk[8192];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return LoadResult::Failed;
        }
        if (n == 0) break;
        text.append(chunk, static_cast<size_t>(n));
    }
    close(fd);
    return LoadResult::Loaded;
}

WriteLock::WriteLock(const std::string &path) {
    MakeParents(path);
    // A link planted at the lock's name is never followed (it could make the
    // open create a file elsewhere), and the lock must be a regular file.
    fd_ = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
               0600);
    if (fd_ < 0) return;
    struct stat info {};
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd_);
        fd_ = -1;
        return;
    }
    int rc;
    do
        rc = flock(fd_, LOCK_EX);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        close(fd_);
        fd_ = -1;
    }
}

WriteLock::~WriteLock() {
    if (fd_ >= 0) close(fd_); // closing releases the lock
}

bool ReplaceFile(const std::string &path, const std::string &text) {
    std::string temp = path + ".tmp";
    // Writers hold the lock, so a file at the temporary name is left over
    // from a writer that died, or planted. Remove it (a link goes, not its
    // target) and create the temporary file afresh, never through a link:
    // what cannot be removed makes the write fail.
    unlink(temp.c_str());
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = fchmod(fd, ModeOf(path)) == 0 && WriteAll(fd, text) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
}

} // namespace rdplat::registry
