// SPDX-License-Identifier: Apache-2.0
// How a copy ends, whatever ended it: the source read to its end, a stop
// asked for by the server manager, or a failure of either side. A copy that
// read everything marks itself finished and disconnects its target (a
// target that commits at its disconnect can still fail it there). Any other
// end has the target discard what it holds uncommitted before the
// connection goes, so that what stays is whole batches or nothing, and the
// copy's last log line says which.
#include "connector_actions.h"
#include "connector_resume.h"
#include "copy_run.h"

#include "rdxapi.h"

#include <algorithm>
#include <string>

namespace rdcopy {
namespace {

constexpr uint32_t kStop = 1542, kStopNow = 1543;

// "1 record", "1,234 records".
std::string Records(uint64_t count) {
    return Grouped(count) + (count == 1 ? " record" : " records");
}

} // namespace

// What a log entry says, without the sections the log adds to it (the
// connection, the call, the number).
std::string Said(std::string text) {
    const size_t sections = text.find("; connection ");
    if (sections != std::string::npos) text.erase(sections);
    const size_t number = text.rfind("; number ");
    if (number != std::string::npos) text.erase(number);
    while (!text.empty() && (text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text;
}

uint32_t CopyRun::Finish(uint32_t status) {
    if (status == 0 && finished_) {
        status = RDConnectDisconnect(target_.handle());
        if (status == 0)
            Log(RDLOG_INFORMATIONAL,
                "Nothing to resume: the last run of " + job_.name + " finished after " +
                    Grouped(resumeFrom_.written) +
                    " records written; nothing was copied. Run it without --resume to copy "
                    "again.",
                0);
        return status;
    }
    if (status == 0) status = SaveFinalMark();
    bool disconnected = false;
    if (status == 0) {
        status = RDConnectDisconnect(target_.handle());
        disconnected = true;
    }
    if (status == 0) {
        LogBookmark();
        Log(RDLOG_INFORMATIONAL, Outcome(), 0);
        return 0;
    }
    // The cause is taken before the rollback logs what it discarded.
    const std::string cause = Said(LastFailure());
    if (targetConnected_ && !disconnected) RDConnectAction(target_.handle(), rdxc::kActionRollback);
    // A target that held the copy in one transaction kept nothing of it,
    // whether it was rolled back or its commit at the disconnect failed.
    // Only what is surely kept is counted written.
    const bool rolledBack = held_ + heldUnsure_ != 0;
    if (rolledBack) counts_.written -= std::min(held_ + heldUnsure_, counts_.written);
    const bool stopped = status == kStop || status == kStopNow;
    if (stopped)
        Log(0, "Stopped on request " + Kept(rolledBack), status);
    else
        Log(0, (cause.empty() ? "The copy failed" : cause) + ". Stopped " + Kept(rolledBack),
            status);
    return status;
}

// The last line of a copy that read its source to the end.
std::string CopyRun::Outcome() const {
    if (counts_.skipped == 0) return Records(counts_.written) + " written.";
    std::string text = Records(counts_.skipped) + " skipped (" + Said(firstSkip_) +
                       (counts_.skipped > 1 ? ", and others" : "") +
                       "): " + Grouped(counts_.written) + " written";
    const uint64_t refused = counts_.skipped - counts_.badSource;
    if (counts_.badSource != 0 && refused != 0)
        text += "; " + Grouped(counts_.badSource) + " could not be read, " + Grouped(refused) +
                " refused by the target";
    if (rejects_.Active()) text += "; rejects in " + rejects_.Path();
    return text + ".";
}

// What a copy that ended early kept in its target, following "Stopped":
// "after 874,200 records; run it with --resume to go on.".
std::string CopyRun::Kept(bool rolledBack) const {
    const std::string resume = keepsMarks_ ? "; run it with --resume to go on." : ".";
    // The stop came during an insert that may have committed its span.
    if (heldUnsure_ != 0)
        return "after " +
               (counts_.written != 0 ? Records(counts_.written) + " written in whole batches and "
                                     : std::string()) +
               "perhaps " + Records(held_ + heldUnsure_) +
               (counts_.written != 0 ? " more" : " written") +
               ": the stop came during an insert, and the target rolled back what it held "
               "uncommitted" +
               resume;
    // A target that commits its spans of batches kept those committed.
    if (rolledBack && counts_.written != 0)
        return "after " + Records(counts_.written) + " written in whole batches" + resume +
               " The " + Records(held_) + " held uncommitted after them were rolled back.";
    if (rolledBack) return "after " + Records(held_) + ", all rolled back: nothing was written.";
    if (counts_.written == 0) return "before any record was written.";
    return "after " + Records(counts_.written) + " written in whole batches" + resume;
}

// The source is read to its end: the mark says the copy is finished, so
// that a later run starts again instead of resuming.
uint32_t CopyRun::SaveFinalMark() {
    if (!keepsMarks_) return 0;
    CopyMark mark = start_;
    mark.written = counts_.written;
    mark.skipped = counts_.skipped;
    mark.bad = counts_.badSource;
    mark.rejectBytes = rejects_.Length();
    mark.rejectLogBytes = rejects_.LogLength();
    mark.done = true;
    uint32_t status = target_.SetText(rdxc::kMark, FormatMark(mark));
    if (status == 0) status = RDConnectAction(target_.handle(), rdxc::kActionSaveMark);
    return status;
}

} // namespace rdcopy
