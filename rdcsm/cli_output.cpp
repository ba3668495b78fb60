// SPDX-License-Identifier: Apache-2.0
#include "cli_output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <streambuf>
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

// The reason of the first write to the standard output that failed.
int firstFailure = 0;

void NoteFailure(int number) {
    if (firstFailure == 0) firstFailure = number != 0 ? number : EIO;
}

// std::cout's buffer: writes through stdio, in order with printf, and notes
// why a write failed while errno still tells it (a buffered write fails
// later, in whatever call flushes the buffer).
class StdioBuffer : public std::streambuf {
  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char character = traits_type::to_char_type(c);
        return xsputn(&character, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char *data, std::streamsize size) override {
        return WriteStandardOutput({data, static_cast<std::size_t>(size)}) ? size : 0;
    }
    int sync() override {
        if (std::fflush(stdout) == 0) return 0;
        NoteFailure(errno);
        return -1;
    }
};

} // namespace

bool WriteStandardOutput(std::string_view text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size()) return true;
    NoteFailure(errno);
    return false;
}

void GuardStandardStreams() {
    // Never destroyed: std::cout is flushed after static objects are gone.
    static StdioBuffer *const buffer = new StdioBuffer;
    std::cout.rdbuf(buffer);
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
    bool lost = !std::cout.flush() || firstFailure != 0;
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        NoteFailure(errno);
        lost = true;
    }
    if (close(STDOUT_FILENO) != 0 && !lost) {
        NoteFailure(errno);
        lost = true;
    }
    if (lost)
        std::fprintf(stderr, "rdcsm: cannot write the standard output: %s\n",
                     std::strerror(firstFailure != 0 ? firstFailure : EIO));
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
