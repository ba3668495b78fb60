// SPDX-License-Identifier: Apache-2.0
// The reject file of a copy that skips bad records: each skipped record as
// it was read (a delimited source's raw lines) or, for a record the target
// refused, as one delimited line of its values; and beside it PATH.log with
// a line per record: where it came from and why it was skipped. Both files
// are the user's own (created 0600, never through a link), emptied when a
// copy starts and cut back to their marked lengths when it resumes, so that
// a record is never listed twice.
#pragma once

#include <cstdint>
#include <string>

namespace rdcopy {

class Rejects {
  public:
    Rejects() = default;
    Rejects(const Rejects &) = delete;
    Rejects &operator=(const Rejects &) = delete;
    ~Rejects();

    // Opens both files: emptied for a new copy, or kept up to the lengths a
    // resumed copy's mark holds. A failure is logged and its status given.
    uint32_t Open(const std::string &path, bool resume, uint64_t length, uint64_t logLength);
    bool Active() const { return fd_ >= 0; }
    const std::string &Path() const { return path_; }
    // Appends the record's bytes (a line end added when it has none) and
    // its line in the log.
    uint32_t Write(std::string record, const std::string &where, const std::string &reason);
    uint64_t Length() const { return length_; }
    uint64_t LogLength() const { return logLength_; }

  private:
    uint32_t Append(int fd, const std::string &bytes, uint64_t &length, const std::string &path);

    std::string path_;
    int fd_ = -1, logFd_ = -1;
    uint64_t length_ = 0, logLength_ = 0;
};

// A record's values as one RFC 4180 line (quoted where needed; a null
// value empty, an empty text as ""), for the record at index of list.
std::string DelimitedRecord(uint32_t list, uint32_t index);

} // namespace rdcopy
