// SPDX-License-Identifier: Apache-2.0
// The resume marks of a target file, kept beside it in "<file>.rdx-mark":
// per copy name, the length the file had after the copy's last marked batch
// and the copy's mark text. The side file is replaced whole (written under
// a temporary name, flushed, renamed over it), so that it always holds one
// complete set of marks.
//
// Its text: a first line "rdx-mark 1", then one line per copy
// "NAME<TAB>LENGTH<TAB>MARK", with backslash, tab, CR and LF in NAME and
// MARK written as \\, \t, \r and \n.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rdxc {

struct MarkEntry {
    std::string name;
    uint64_t length = 0;
    std::string mark;
};

// The side file of the file at path.
std::string MarkPath(const std::string &path);

// The entries of the side file; none when it does not exist. False with
// error for a file that cannot be read, is larger than a side file grows,
// or is not in the form above.
bool ReadMarks(const std::string &sidePath, std::vector<MarkEntry> &entries, std::string &error);

// Replaces the side file by entries; false with error when any step fails
// (the former side file then stays as it was).
bool WriteMarks(const std::string &sidePath, const std::vector<MarkEntry> &entries,
                std::string &error);

} // namespace rdxc
