// SPDX-License-Identifier: Apache-2.0
// How far a copy has come, as it keeps it in its target with each batch:
// the source records it has consumed (bad ones included), what it wrote and
// skipped, and where the source stands. A rerun that resumes reads it back
// and continues after the last committed batch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rdcopy {

struct CopyMark {
    // The source is positioned at `position` (the source's own text, empty
    // for a source that cannot be positioned: then at its first record),
    // which stands after `base` records; `extra` more records of it are
    // consumed too (records written one by one inside a batch).
    std::string position;
    uint64_t base = 0, extra = 0;
    uint64_t written = 0, skipped = 0;
    uint64_t bad = 0; // source records that could not be read (skipped)
    // The lengths of the reject file and its log once the records the
    // mark counts are in.
    uint64_t rejectBytes = 0, rejectLogBytes = 0;
    bool done = false;
    // An incremental copy: the key value the run read from (`since`, empty
    // for every record), and the largest key among the records the mark
    // counts (`bookmark`) with, for a source ordered by the key and then by
    // its tie columns, the tie values of the last record consumed (`tie`,
    // the values' texts joined by commas, each escaped).
    std::string since, bookmark, tie;

    uint64_t Records() const { return base + extra; }
};

// The mark as text: "v=2;base=N;extra=N;written=N;skipped=N;bad=N;
// rejects=N;rejectlog=N;done=0|1;since=TEXT;bookmark=TEXT;tie=TEXT;
// position=TEXT", the position last so that it may hold any characters and
// the other texts with "%" and ";" escaped as %25 and %3B. A mark of an
// earlier version (v=1, without since, bookmark and tie) is read too.
std::string FormatMark(const CopyMark &mark);
// The mark of a text made by FormatMark; empty for anything else.
std::optional<CopyMark> ParseMark(const std::string &text);

// Tie values as one text: each with "%" and "," escaped (%25, %2C), joined
// by commas; and back.
std::string JoinTie(const std::vector<std::string> &values);
std::vector<std::string> SplitTie(const std::string &text);

// A count with thousands separators: 1,732,200.
std::string Grouped(uint64_t value);

} // namespace rdcopy
