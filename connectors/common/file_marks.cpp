// SPDX-License-Identifier: Apache-2.0
#include "file_marks.h"

#include "own_file.h"

#include "rdx_status.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdxc {
namespace {

// A holder keeps the lock for one batch's append and mark; a holder that
// keeps it much longer is stopped (a frozen process), and waiting on would
// hang this run with it.
constexpr int kLockTries = 1000; // 10 ms apart: 10 s

bool LockFile(int fd, const std::string &path, std::string &error) {
    for (int tries = 0; ::flock(fd, LOCK_EX | LOCK_NB) != 0;) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK || ++tries == kLockTries) {
            error = errno == EWOULDBLOCK
                        ? "the file " + path + " stays locked by another process writing to it"
                        : "the file " + path + " cannot be locked: " + std::strerror(errno);
            return false;
        }
        const timespec pause{0, 10'000'000};
        ::nanosleep(&pause, nullptr);
    }
    return true;
}

const MarkEntry *Find(const std::vector<MarkEntry> &entries, const std::string &name) {
    for (const MarkEntry &e : entries)
        if (e.name == name) return &e;
    return nullptr;
}

// 0, or the errno of the failure.
int WriteAll(int fd, std::string_view bytes) {
    for (size_t written = 0; written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : ENOSPC;
        written += static_cast<size_t>(n);
    }
    return 0;
}

} // namespace

uint32_t FileMarks::Resume() {
    mark_.Forget();
    if (!mark_.Active()) return RDSTATUS_OK;
    // The file is cut through a descriptor of its own, never through a
    // link, and under the lock that batches are written under, so that a
    // batch of another run is never cut before its mark is stored.
    std::string error, openError;
    bool missing = false;
    const FileDescriptor file = OpenOwnFile(path_, O_WRONLY, openError, &missing);
    if (file && !LockFile(file.get(), path_, error))
        return log_.Fail("the mark cannot be read: " + error);
    const std::string side = MarkPath(path_);
    std::vector<MarkEntry> entries;
    if (!ReadMarks(side, entries, error)) return log_.Fail("the mark cannot be read: " + error);
    const MarkEntry *entry = Find(entries, mark_.Name());
    if (entry == nullptr) return RDSTATUS_OK;
    if (!file && !missing) return log_.Fail("the mark cannot be applied: " + openError);
    // A file that is gone holds nothing of the marked copy: there is nothing
    // to resume into, and the copy starts from its first record.
    if (missing) {
        LogInformation("the file " + path_ + " no longer exists: the mark of copy " + mark_.Name() +
                       " is set aside and the copy starts from its first record");
        mark_.HeldOnly(entry->mark);
        return RDSTATUS_OK;
    }
    struct stat info {};
    const int64_t size = ::fstat(file.get(), &info) == 0 ? info.st_size : -1;
    if (size < static_cast<int64_t>(entry->length))
        return log_.Fail("the file " + path_ + " holds " +
                         std::to_string(std::max<int64_t>(size, 0)) + " bytes, fewer than the " +
                         std::to_string(entry->length) + " that the mark of copy " + mark_.Name() +
                         " recorded: it was changed since; remove " + side + " to start again");
    if (size > static_cast<int64_t>(entry->length)) {
        if (::ftruncate(file.get(), static_cast<off_t>(entry->length)) != 0)
            return log_.Fail("the file " + path_ + " cannot be cut back to the " +
                             std::to_string(entry->length) +
                             " bytes of its mark: " + std::strerror(errno));
        LogInformation("the file " + path_ + " was cut back from " + std::to_string(size) + " to " +
                       std::to_string(entry->length) +
                       " bytes, the length at the last mark of copy " + mark_.Name());
    }
    mark_.Loaded(entry->mark);
    return RDSTATUS_OK;
}

bool FileMarks::StillHeld(const std::vector<MarkEntry> &entries) const {
    const MarkEntry *entry = Find(entries, mark_.Name());
    const std::optional<std::string> &held = mark_.Held();
    return held ? entry != nullptr && entry->mark == *held : entry == nullptr;
}

std::string FileMarks::Conflict(const std::string &notWritten) const {
    return mark_.Conflict("file " + path_, notWritten);
}

uint32_t FileMarks::Lock(int fd, const std::string &notWritten) {
    std::string error;
    std::vector<MarkEntry> entries;
    if (!LockFile(fd, path_, error) || !ReadMarks(MarkPath(path_), entries, error))
        return log_.Fail("the mark cannot be stored (" + error + "): nothing was written");
    if (!StillHeld(entries)) return log_.Fail(Conflict(notWritten));
    return RDSTATUS_OK;
}

bool FileMarks::Store(uint64_t length, std::string &error, bool &lost) {
    lost = false;
    const std::string side = MarkPath(path_);
    std::vector<MarkEntry> entries;
    if (!ReadMarks(side, entries, error)) return false;
    if (!StillHeld(entries)) {
        lost = true;
        error = Conflict("batch");
        return false;
    }
    MarkEntry *entry = nullptr;
    for (MarkEntry &e : entries)
        entry = e.name == mark_.Name() ? &e : entry;
    if (entry == nullptr) entry = &entries.emplace_back(MarkEntry{mark_.Name(), 0, ""});
    entry->length = length;
    entry->mark = mark_.Text();
    if (!WriteMarks(side, entries, error)) return false;
    mark_.Stored();
    return true;
}

uint32_t FileMarks::AppendBytes(int fd, std::string_view bytes, uint64_t *end) {
    const off_t before = ::lseek(fd, 0, SEEK_END);
    int error = before < 0 ? errno : WriteAll(fd, bytes);
    if (error == 0 && end != nullptr) {
        const off_t after = ::lseek(fd, 0, SEEK_END);
        if (after < 0 || ::fdatasync(fd) != 0) error = errno != 0 ? errno : EIO;
        *end = static_cast<uint64_t>(std::max<off_t>(after, 0));
    }
    if (error == 0) return RDSTATUS_OK;
    if (before >= 0 && ::ftruncate(fd, before) != 0) {
        // The file keeps a partial batch; the failure below still says that
        // none of it counts as written.
    }
    return log_.Fail("writing to " + path_ + " failed (" + std::strerror(error) +
                     "): no record of the batch was written");
}

uint32_t FileMarks::Append(int fd, std::string_view bytes, uint64_t *end) {
    const bool marking = mark_.Pending();
    if (marking)
        if (uint32_t status = Lock(fd, "batch"); status != RDSTATUS_OK) return status;
    uint64_t after = 0;
    if (uint32_t status = AppendBytes(fd, bytes, marking || end != nullptr ? &after : nullptr);
        status != RDSTATUS_OK)
        return status;
    if (end != nullptr) *end = after;
    std::string error;
    if (bool lost = false; marking && !Store(after, error, lost)) {
        if (::ftruncate(fd, static_cast<off_t>(after - bytes.size())) != 0) {
            // The mark stays at the former length: the next connect cuts
            // the batch off.
        }
        return log_.Fail(lost ? error
                              : "the mark cannot be stored (" + error +
                                    "): no record of the batch was written");
    }
    return RDSTATUS_OK;
}

uint32_t FileMarks::Save() {
    if (!mark_.Active()) return log_.Fail("the mark cannot be saved: no MarkName is set");
    uint64_t length = 0;
    std::string error;
    bool missing = false;
    const FileDescriptor file = OpenOwnFile(path_, O_RDONLY, error, &missing);
    if (file) {
        if (uint32_t status = Lock(file.get(), "mark"); status != RDSTATUS_OK) return status;
        struct stat info {};
        if (::fdatasync(file.get()) != 0 || ::fstat(file.get(), &info) != 0)
            return log_.Fail("the file " + path_ + " cannot be flushed: " + std::strerror(errno));
        length = static_cast<uint64_t>(info.st_size);
    } else if (!missing) {
        return log_.Fail("the mark cannot be saved: " + error);
    }
    mark_.Set(mark_.Text());
    if (bool lost = false; !Store(length, error, lost))
        return log_.Fail(lost ? Conflict("mark") : "the mark cannot be saved: " + error);
    return RDSTATUS_OK;
}

} // namespace rdxc
