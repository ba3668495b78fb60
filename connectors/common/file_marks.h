// SPDX-License-Identifier: Apache-2.0
// Resume marks of a target file (see connector_resume.h). The mark lives in
// the side file (mark_file.h) with the file's length after the copy's last
// marked batch; at connect the file is cut back to that length, so that
// bytes of a batch written after the mark are gone. Two runs of one copy
// (one taken over by another machine while the first still writes) are
// kept apart by an flock on the target itself, held from the check of the
// mark through the append to the store of the new mark: the side file is
// replaced by rename and cannot carry a lock. The first run to store
// changes the mark, and the other's batches are refused.
#pragma once

#include "connector_log.h"
#include "copy_mark.h"
#include "mark_file.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rdxc {

class FileMarks {
  public:
    // path is the connection's setting, read at each call.
    FileMarks(const std::string &path, FailureLog &log) : path_(path), log_(log) {}

    CopyMark &Mark() { return mark_; }
    const CopyMark &Mark() const { return mark_; }

    // At connect: reads the mark of the copy and cuts the file back to the
    // length stored with it.
    uint32_t Resume();
    // Appends bytes to the file open at fd (for appending). With a mark
    // waiting to be stored, under the lock, flushed, and the mark stored
    // with the new length (in *end when given). On any failure the file is
    // cut back to its former length and nothing counts as written.
    uint32_t Append(int fd, std::string_view bytes, uint64_t *end = nullptr);
    // The mark stored at once with the file's present length (the file
    // flushed first; a missing file counts as empty).
    uint32_t Save();

    // Before a write that stores the mark: waits for the exclusive lock of
    // the target open at fd (held until fd is closed) and fails, logged,
    // when the side file no longer holds the text this connection last read
    // or stored (another run wrote since); notWritten as in
    // CopyMark::Conflict.
    uint32_t Lock(int fd, const std::string &notWritten);
    // Replaces this copy's entry of the side file (the others stay) while
    // it holds the text this connection saw; else false with `lost` and
    // error the conflict's text. Run under Lock.
    bool Store(uint64_t length, std::string &error, bool &lost);
    std::string Conflict(const std::string &notWritten) const;

    // Appends bytes to the file open at fd, without a mark; with end, the
    // file is flushed and *end is its new length. On failure the file is cut
    // back to its former length and the failure logged.
    uint32_t AppendBytes(int fd, std::string_view bytes, uint64_t *end);

  private:
    bool StillHeld(const std::vector<MarkEntry> &entries) const;

    const std::string &path_;
    FailureLog &log_;
    CopyMark mark_;
};

} // namespace rdxc
