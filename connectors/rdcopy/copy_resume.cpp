// SPDX-License-Identifier: Apache-2.0
// Resuming: the mark that the target keeps for the copy, read back at the
// start of a run; a rerun asked to resume reads the source again from where
// the mark stands (a position the source takes, or records read past), and a
// rerun that was not asked to resume refuses to copy a second time into a
// target that holds an unfinished copy.
#include "connector_resume.h"
#include "copy_run.h"

#include "rdxapi.h"

#include <algorithm>
#include <cctype>

namespace rdcopy {
namespace {

// Whether a select text orders its rows: "ORDER" and "BY" as words.
bool HasOrderBy(const std::string &select) {
    std::string lower(select);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (size_t at = lower.find("order"); at != std::string::npos;
         at = lower.find("order", at + 1)) {
        size_t next = at + 5;
        if (at > 0 && std::isalnum(static_cast<unsigned char>(lower[at - 1])) != 0) continue;
        if (next >= lower.size() || std::isspace(static_cast<unsigned char>(lower[next])) == 0)
            continue;
        while (next < lower.size() && std::isspace(static_cast<unsigned char>(lower[next])) != 0)
            ++next;
        if (lower.compare(next, 2, "by") == 0 &&
            (next + 2 == lower.size() ||
             std::isalnum(static_cast<unsigned char>(lower[next + 2])) == 0))
            return true;
    }
    return false;
}

bool Empty(const CopyMark &mark) {
    return mark.Records() == 0 && mark.written == 0 && mark.skipped == 0;
}

} // namespace

// Reads the target's mark of the copy. `resuming` is set when the run goes
// on after it: asked to, or when nothing was committed after the table was
// made (the same as starting again, without making the table twice).
uint32_t CopyRun::ReadMark(bool &resuming) {
    resuming = false;
    if (!keepsMarks_) {
        if (!job_.resume) return 0;
        return Refuse(job_.name + " cannot resume: its target link " + job_.targetLink +
                      " keeps no mark of how far a copy came.");
    }
    std::string text;
    if (const uint32_t status = target_.GetText(rdxc::kMark, text); status != 0) return status;
    std::optional<CopyMark> mark;
    if (!text.empty() && !(mark = ParseMark(text)))
        return Refuse("The target of " + job_.name + " holds a mark that cannot be read (\"" +
                      text.substr(0, 80) + "\"); drop the target to start again.");
    if (job_.fullRefresh) {
        Log(RDLOG_INFORMATIONAL,
            job_.incremental == Incremental::Key
                ? "Full refresh: the bookmark of " + job_.incrementalKey + " is forgotten."
                : std::string("Full refresh: the copy starts again from nothing."),
            0);
        return 0;
    }
    if (job_.incremental != Incremental::None) return FollowMark(mark, resuming);
    if (!mark) {
        if (job_.resume)
            Log(RDLOG_INFORMATIONAL,
                "Nothing to resume: the target holds no run of " + job_.name +
                    "; the copy starts with the first record.",
                0);
        return 0;
    }
    // A resume after the last run finished (it may have been killed after
    // its end was committed) has nothing to do, and copies nothing twice.
    if (mark->done) {
        finished_ = job_.resume;
        if (finished_) resumeFrom_ = *mark;
        return 0;
    }
    // A replace or truncate that is not resumed starts again: the table
    // change of its start takes away what the unfinished run wrote.
    if (!job_.resume && !Empty(*mark) &&
        (job_.mode == Mode::Replace || job_.mode == Mode::Truncate)) {
        Log(RDLOG_INFORMATIONAL,
            "Starting " + job_.name + " again: the " + Grouped(mark->written) +
                " records of its unfinished run are taken away with the table's " +
                (job_.mode == Mode::Replace ? "replacement." : "emptying."),
            0);
        return 0;
    }
    if (!job_.resume && !Empty(*mark))
        return Refuse("The target already holds " + Grouped(mark->written) +
                      " records of an unfinished run of " + job_.name +
                      "; run it with --resume to go on after them, or drop the target to start "
                      "again.");
    if (const uint32_t status = CheckOrder(); status != 0 && !Empty(*mark)) return status;
    resuming = true;
    ResumeAfter(*mark);
    return 0;
}

// The counts of the unfinished run the mark tells, which this run goes on.
void CopyRun::ResumeAfter(const CopyMark &mark) {
    resumeFrom_ = mark;
    counts_.badSource = mark.bad;
    counts_.read = mark.Records() - std::min(mark.bad, mark.Records());
    counts_.written = mark.written;
    counts_.skipped = mark.skipped;
    if (!Empty(mark))
        Log(RDLOG_INFORMATIONAL,
            "Resuming " + job_.name + " after " + Grouped(mark.Records()) + " source records (" +
                Grouped(mark.written) + " written, " + Grouped(mark.skipped) + " skipped before).",
            0);
}

// A source read again must give its records in the same order: a file does,
// a select does when it is ordered (by its text, or by KeyColumn).
uint32_t CopyRun::CheckOrder() const {
    if (positioned_ || !job_.keyColumn.empty() || HasOrderBy(job_.sourceSelect)) return 0;
    return Refuse(job_.name +
                  " cannot resume: its source may return its records in another order when it "
                  "is read again (the select has no ORDER BY). Name the key column in KeyColumn "
                  "or order SourceSelect by a key, or drop the target to start again.");
}

// KeyColumn orders the source in every run, so that a resumed run reads
// the records in the order that the first one did.
// An incremental copy from a SQL source orders records of one key value by
// KeyColumn, else by Key.
uint32_t CopyRun::OrderSource() {
    const bool byKey = job_.incremental == Incremental::Key && !positioned_;
    const std::string order = byKey ? TieOrder() : job_.keyColumn;
    if (byKey && order.empty())
        return Refuse("IncrementalKey needs KeyColumn (or Key): the columns that, after " +
                      job_.incrementalKey +
                      ", order the source's records the same way in every run, so that a run can "
                      "go on between records of one " +
                      job_.incrementalKey + " value (KeyColumn = \"id\" for a unique id).");
    if (order.empty()) return 0;
    if (source_.Declares(rdxc::kOrderBy)) return source_.SetText(rdxc::kOrderBy, order);
    if (positioned_) return 0; // a file keeps its order
    return Refuse("The source link " + job_.sourceLink + " cannot order its records by \"" + order +
                  "\".");
}

// Before the select: a source that takes a position starts where the mark
// stands; any other is read past the records the mark counts.
uint32_t CopyRun::PositionSource() {
    start_ = resumeFrom_;
    start_.done = false;
    // A SQL source read by its key starts after the bookmark instead.
    if (job_.incremental == Incremental::Key && !positioned_) return 0;
    if (positioned_ && !resumeFrom_.position.empty()) {
        resumeSkip_ = resumeFrom_.extra;
        return source_.SetText(rdxc::kReadPosition, resumeFrom_.position);
    }
    resumeSkip_ = resumeFrom_.Records();
    start_.position.clear();
    start_.base = 0;
    start_.extra = 0;
    return 0;
}

// After the select: reads past the records the earlier runs consumed, bad
// ones included; the next batch starts where that leaves the source.
uint32_t CopyRun::SkipConsumed() {
    uint64_t left = resumeSkip_;
    while (left > 0) {
        uint32_t fetched = 0;
        const auto want = static_cast<uint32_t>(std::min<uint64_t>(left, job_.batchSize));
        const uint32_t status = RDConnectFetch(source_.handle(), list_.handle(), 1, want, &fetched);
        fetched = Bounded(fetched, want, job_.sourceLink);
        left -= std::min<uint64_t>(left, fetched);
        if (IsRecordFault(status) && left > 0) {
            --left;
            continue;
        }
        if (status == kEndOfData && left > 0)
            return Refuse(job_.name + " cannot resume: its source ended " + Grouped(left) +
                          " records before the place where the last run stopped (it changed "
                          "since); drop the target to start again.");
        if (status != 0 && status != kEndOfData && !IsRecordFault(status)) return status;
    }
    if (resumeSkip_ == 0) return 0;
    start_.base = resumeFrom_.Records();
    start_.extra = 0;
    start_.position.clear();
    if (positioned_) return source_.GetText(rdxc::kReadPosition, start_.position);
    return 0;
}

} // namespace rdcopy
