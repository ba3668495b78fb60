// SPDX-License-Identifier: Apache-2.0
#include "ini_commit.h"

#include "home_dir.h"

#include "rdplat_status.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdplat {

namespace {

constexpr int kMaxTempNumber = 9999;

bool CanOpenForReading(const std::string &path) {
    // A FIFO at a candidate name counts as taken, without waiting for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool WriteAll(int fd, const std::string &content) {
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The mode of the file being replaced, so that a rewrite keeps it; new files
// get the usual mode under the process's umask.
mode_t ModeFor(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0666;
}

} // namespace

uint32_t RewriteTarget(const std::string &path, std::string &target) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        target = path;
        return RDSTATUS_OK;
    }
    // As the kernel's protected links do in shared folders: a link planted by
    // someone else must not steer the caller's write into one of its files.
    if (st.st_uid != ::geteuid() && st.st_uid != 0) return RDSTATUS_INIOPEN;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return RDSTATUS_INICREATE;
    target = resolved;
    return target.size() < kConfigPathSize ? RDSTATUS_OK : RDSTATUS_INICREATE;
}

std::optional<std::string> ChooseTempName(const std::string &path) {
    size_t nameStart = path.rfind('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    size_t dot = path.find('.', nameStart);
    std::string stem = path.substr(0, dot);
    for (int n = 1; n <= kMaxTempNumber; ++n) {
        std::string candidate = stem + std::to_string(n) + ".tmp";
        if (candidate.size() >= kConfigPathSize) return std::nullopt;
        if (!CanOpenForReading(candidate)) return candidate;
    }
    return std::nullopt;
}

uint32_t CommitRewrite(const std::string &path, const std::string &tempPath,
                       const std::string &content) {
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ModeFor(path));
    if (fd < 0) return RDSTATUS_INICREATE;
    if (!WriteAll(fd, content)) {
        ::close(fd);
        ::unlink(tempPath.c_str());
        return RDSTATUS_INIMISSING;
    }
    bool synced = ::fsync(fd) == 0;
    if (::close(fd) != 0 || !synced) {
        ::unlink(tempPath.c_str());
        return RDSTATUS_INIOPEN;
    }
    if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        ::unlink(tempPath.c_str());
        return RDSTATUS_INIOPEN;
    }
    return RDSTATUS_OK;
}

} // namespace rdplat
