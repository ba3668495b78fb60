// SPDX-License-Identifier: Apache-2.0
// Resuming copies into and out of a file. Into it: the copy's mark lives in
// the side file with the file's length after the copy's last marked batch;
// at connect the file is cut back to that length, so that bytes of a batch
// written after the mark are gone. Two runs of one copy (one taken over
// by another machine while the first still writes) are kept apart by an
// flock on the target itself, held from the check of the mark through the
// append to the store of the new mark: the side file is replaced by rename
// and cannot carry a lock. The first run to store changes the mark, and
// the other's batches are refused. Out of it: ReadPosition tells where the
// next record starts, and a select set to it goes on there.
#include "connector_actions.h"
#include "connector_resume.h"
#include "csv_connection.h"
#include "csv_mark.h"
#include "own_file.h"
#include "read_position.h"

#include "rdx_status.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdcsv {
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

// The file's size, -1 when it does not exist (or cannot be seen).
int64_t FileSize(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

} // namespace

uint32_t Connection::ResumeFile() {
    mark_.Forget();
    if (!mark_.Active()) return RDSTATUS_OK;
    // The file is cut through a descriptor of its own, never through a
    // link, and under the lock that batches are written under, so that a
    // batch of another run is never cut before its mark is stored.
    std::string error, openError;
    bool missing = false;
    const FileDescriptor file = OpenOwnFile(settings_.path, O_WRONLY, openError, &missing);
    if (file && !LockFile(file.get(), settings_.path, error))
        return log_.Fail("the mark cannot be read: " + error);
    const std::string side = MarkPath(settings_.path);
    std::vector<MarkEntry> entries;
    if (!ReadMarks(side, entries, error)) return log_.Fail("the mark cannot be read: " + error);
    const MarkEntry *entry = Find(entries, mark_.Name());
    if (entry == nullptr) return RDSTATUS_OK;
    if (!file && !missing) return log_.Fail("the mark cannot be applied: " + openError);
    // A file that is gone holds nothing of the marked copy: there is nothing
    // to resume into, and the copy starts from its first record.
    if (missing) {
        rdxc::LogInformation("the file " + settings_.path + " no longer exists: the mark of copy " +
                             mark_.Name() +
                             " is set aside and the copy starts from its first "
                             "record");
        mark_.HeldOnly(entry->mark);
        return RDSTATUS_OK;
    }
    struct stat info {};
    const int64_t size = ::fstat(file.get(), &info) == 0 ? info.st_size : -1;
    if (size < static_cast<int64_t>(entry->length))
        return log_.Fail("the file " + settings_.path + " holds " +
                         std::to_string(std::max<int64_t>(size, 0)) + " bytes, fewer than the " +
                         std::to_string(entry->length) + " that the mark of copy " + mark_.Name() +
                         " recorded: it was changed since; remove " + side + " to start again");
    if (size > static_cast<int64_t>(entry->length)) {
        if (::ftruncate(file.get(), static_cast<off_t>(entry->length)) != 0)
            return log_.Fail("the file " + settings_.path + " cannot be cut back to the " +
                             std::to_string(entry->length) +
                             " bytes of its mark: " + std::strerror(errno));
        rdxc::LogInformation("the file " + settings_.path + " was cut back from " +
                             std::to_string(size) + " to " + std::to_string(entry->length) +
                             " bytes, the length at the last mark of copy " + mark_.Name());
    }
    mark_.Loaded(entry->mark);
    return RDSTATUS_OK;
}

bool Connection::StillHeld(const std::vector<MarkEntry> &entries) const {
    const MarkEntry *entry = Find(entries, mark_.Name());
    const std::optional<std::string> &held = mark_.Held();
    return held ? entry != nullptr && entry->mark == *held : entry == nullptr;
}

std::string Connection::MarkConflict(const std::string &notWritten) const {
    return mark_.Conflict("file " + settings_.path, notWritten);
}

uint32_t Connection::LockMark(int fd, const std::string &notWritten) {
    std::string error;
    std::vector<MarkEntry> entries;
    if (!LockFile(fd, settings_.path, error) ||
        !ReadMarks(MarkPath(settings_.path), entries, error))
        return log_.Fail("the mark cannot be stored (" + error + "): nothing was written");
    if (!StillHeld(entries)) return log_.Fail(MarkConflict(notWritten));
    return RDSTATUS_OK;
}

bool Connection::StoreMark(uint64_t length, std::string &error, bool &lost) {
    lost = false;
    const std::string side = MarkPath(settings_.path);
    std::vector<MarkEntry> entries;
    if (!ReadMarks(side, entries, error)) return false;
    if (!StillHeld(entries)) {
        lost = true;
        error = MarkConflict("batch");
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

// With the file's present length, its bytes flushed first (a missing file
// counts as empty).
uint32_t Connection::SaveMark() {
    if (!connected_) return RDSTATUS_NOTCONNECTED;
    if (!mark_.Active()) return log_.Fail("the mark cannot be saved: no MarkName is set");
    uint64_t length = 0;
    std::string error;
    bool missing = false;
    const FileDescriptor file = OpenOwnFile(settings_.path, O_RDONLY, error, &missing);
    if (file) {
        if (uint32_t status = LockMark(file.get(), "mark"); status != RDSTATUS_OK) return status;
        struct stat info {};
        if (::fdatasync(file.get()) != 0 || ::fstat(file.get(), &info) != 0)
            return log_.Fail("the file " + settings_.path +
                             " cannot be flushed: " + std::strerror(errno));
        length = static_cast<uint64_t>(info.st_size);
    } else if (!missing) {
        return log_.Fail("the mark cannot be saved: " + error);
    }
    mark_.Set(mark_.Text());
    if (bool lost = false; !StoreMark(length, error, lost))
        return log_.Fail(lost ? MarkConflict("mark") : "the mark cannot be saved: " + error);
    return RDSTATUS_OK;
}

uint32_t Connection::Action(uint32_t action) {
    if (action == rdxc::kActionRollback) return RDSTATUS_OK; // every batch is in the file
    if (action == rdxc::kActionSaveMark) return SaveMark();
    return Unsupported("this action");
}

uint32_t Connection::SetReadPosition(const std::string &text) {
    rdxc::ReadPositionValue read;
    if (!text.empty() && !rdxc::ParseReadPosition(text, read))
        return log_.Fail("ReadPosition is \"offset=BYTES;line=LINE\", not \"" + text + "\"");
    position_ = Position{!text.empty(), read.offset, read.line};
    return RDSTATUS_OK;
}

// Where the select's next record starts; before a select, the position set.
std::string Connection::ReadPosition() const {
    if (reader_) return rdxc::ReadPositionText(reader_->Offset(), reader_->NextLine());
    return position_.set ? rdxc::ReadPositionText(position_.offset, position_.line) : std::string();
}

// Moves a reader that stands at the first record to the position set. Only
// what is cheap is checked: that the position lies among the records and
// follows a line end (or is the end of the file).
uint32_t Connection::PositionReader(Reader &reader) {
    if (!position_.set) return RDSTATUS_OK;
    const std::string where =
        "ReadPosition " + rdxc::ReadPositionText(position_.offset, position_.line);
    const uint64_t first = reader.Offset();
    const int64_t size = FileSize(settings_.path);
    if (position_.offset < first || position_.line < reader.NextLine())
        return log_.Fail(where + " lies before the first record of " + settings_.path +
                         " (offset=" + std::to_string(first) +
                         ";line=" + std::to_string(reader.NextLine()) + ")");
    if (size < 0 || position_.offset > static_cast<uint64_t>(size))
        return log_.Fail(where + " lies beyond the end of " + settings_.path + " (" +
                         std::to_string(std::max<int64_t>(size, 0)) + " bytes)");
    int before = -1;
    if (!reader.Seek(position_.offset, position_.line, before))
        return log_.Fail("the file " + settings_.path + " cannot be read at " + where);
    // The end of the file follows any record, also one without a line end.
    if (position_.offset > first && before != '\n' &&
        position_.offset < static_cast<uint64_t>(size))
        return log_.Fail(where + " is not the start of a line of " + settings_.path);
    return RDSTATUS_OK;
}

} // namespace rdcsv
