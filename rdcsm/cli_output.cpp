#include "cli_output.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace rdcsm {

namespace {

// Writes all of text; false with errno set on failure.
bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t put = write(fd, text.data(), text.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (put == 0) errno = EIO;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

std::string Failure(const std::string &path, int number) {
    return path + ": " + std::strerror(number);
}

// A device or a pipe: written in place, its close checked.
bool WriteDirect(const std::string &path, std::string_view text, std::string &error) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = Failure(path, errno);
        return false;
    }
    bool done = WriteAll(fd, text);
    int failure = errno;
    if (close(fd) != 0 && done) done = false, failure = errno;
    if (!done) error = Failure(path, failure);
    return done;
}

// Syncs the folder so that the rename itself is on the disk.
bool SyncFolder(const std::string &folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0 || errno == EINVAL;
    close(fd);
    return synced;
}

// A regular file replaced through a temporary file beside it.
bool Replace(const std::string &path, const std::string &target, std::string_view text,
             std::string &error) {
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : target.substr(0, slash);
    std::string temporary = folder + "/.rdcsm-XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = Failure(path, errno);
        return false;
    }
    bool done = WriteAll(fd, text) && fsync(fd) == 0;
    int failure = errno;
    if (close(fd) != 0 && done) done = false, failure = errno;
    if (done && rename(temporary.c_str(), target.c_str()) != 0) done = false, failure = errno;
    if (!done) {
        unlink(temporary.c_str());
        error = Failure(path, failure);
        return false;
    }
    if (!SyncFolder(folder)) {
        error = Failure(path, errno) + " (written, but its folder was not synced)";
        return false;
    }
    return true;
}

} // namespace

void GuardStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = open("/dev/null", O_RDONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

bool FinishStandardOutput() {
    errno = 0;
    bool lost = !std::cout.flush();
    int failure = errno;
    if (std::fflush(stdout) != 0 && !lost) lost = true, failure = errno;
    if (std::ferror(stdout) != 0) lost = true;
    if (close(STDOUT_FILENO) != 0 && !lost) lost = true, failure = errno;
    if (lost)
        std::fprintf(stderr, "rdcsm: cannot write the standard output%s%s\n",
                     failure != 0 ? ": " : "", failure != 0 ? std::strerror(failure) : "");
    return !lost;
}

bool WriteWholeFile(const std::string &path, std::string_view text, std::string &error) {
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0) {
        if (errno != ENOENT) {
            error = Failure(path, errno);
            return false;
        }
        return Replace(path, path, text, error);
    }
    struct stat named {};
    if (stat(path.c_str(), &named) != 0) {
        error = Failure(path, errno);
        return false;
    }
    if (S_ISDIR(named.st_mode)) {
        error = Failure(path, EISDIR);
        return false;
    }
    if (!S_ISREG(named.st_mode)) return WriteDirect(path, text, error);
    if (!S_ISLNK(link.st_mode)) return Replace(path, path, text, error);
    char *real = realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        error = Failure(path, errno);
        return false;
    }
    const std::string target = real;
    std::free(real);
    return Replace(path, target, text, error);
}

} // namespace rdcsm
