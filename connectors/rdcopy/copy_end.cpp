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

#include <string>

namespace rdcopy {
namespace {

constexpr uint32_t kStop = 1542, kStopNow = 1543;

// The text of the last log entry when it tells a failure: what made the
// copy stop.
std::string LastFailure() {
    RDStream text;
    RDStreamClear(&text);
    const uint32_t message = RDActivityGetLogLast(&text, nullptr, nullptr);
    std::string failure;
    if (message != 0 && (message & RDMESSAGE_INFORMATIONAL) == 0 && text.data != nullptr)
        failure.assign(reinterpret_cast<const char *>(text.data), text.length);
    RDStreamDataFree(&text);
    constexpr std::string_view kErrorPrefix = "ERROR: ";
    if (failure.compare(0, kErrorPrefix.size(), kErrorPrefix) == 0)
        failure.erase(0, kErrorPrefix.size());
    return failure;
}

std::string CountsText(const Counts &counts) {
    return std::to_string(counts.read) + " records read, " + std::to_string(counts.written) +
           " written, " + std::to_string(counts.skipped) + " skipped";
}

} // namespace

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
        Log(RDLOG_INFORMATIONAL, "rdcopy: " + CountsText(counts_) + ".", 0);
        return 0;
    }
    // The cause is taken before the rollback logs what it discarded.
    const std::string cause = LastFailure();
    if (targetConnected_ && !disconnected) RDConnectAction(target_.handle(), rdxc::kActionRollback);
    if (status == kStop || status == kStopNow) {
        LogStop(status);
        return status;
    }
    Log(0, "rdcopy stopped after " + CountsText(counts_) + (cause.empty() ? "." : ": " + cause),
        status);
    return status;
}

// The source is read to its end: the mark says the copy is finished, so
// that a later run starts again instead of resuming.
uint32_t CopyRun::SaveFinalMark() {
    if (!keepsMarks_) return 0;
    CopyMark mark = start_;
    mark.written = counts_.written;
    mark.skipped = counts_.skipped;
    mark.bad = counts_.badSource;
    mark.done = true;
    uint32_t status = target_.SetText(rdxc::kMark, FormatMark(mark));
    if (status == 0) status = RDConnectAction(target_.handle(), rdxc::kActionSaveMark);
    return status;
}

// A stop keeps what the target committed in whole batches; a target that
// held the copy in one transaction has rolled all of it back.
void CopyRun::LogStop(uint32_t status) const {
    std::string text;
    if (held_ != 0)
        text = "stopped: the copy of " + Grouped(held_) + " records was rolled back.";
    else
        text = "stopped: " + Grouped(counts_.written) + " records written in whole batches (" +
               Grouped(counts_.read) + " read, " + Grouped(counts_.skipped) + " skipped)" +
               (keepsMarks_ && counts_.written != 0 ? "; run it with --resume to go on." : ".");
    Log(0, text, status);
}

} // namespace rdcopy
