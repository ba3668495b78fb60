// The copy: both connections, the target's mark read (a rerun may resume
// after it), a select on the source, then batches fetched from the source
// and inserted into the target until the source ends, and one ending for
// every outcome.
#include "connector_actions.h"
#include "connector_resume.h"
#include "copy_run.h"

#include "rdxapi.h"

namespace rdcopy {
namespace {

// The object kind of RDConnectCreate that makes a table from a field list.
constexpr uint32_t kCreateTable = 3;

} // namespace

void Log(uint32_t flags, const std::string &message, uint32_t number) {
    RDStream text;
    RDStreamClear(&text);
    RDStreamDataSet(&text, RDCHARSET_DEFAULT, message.data(),
                    static_cast<uint32_t>(message.size()));
    RDActivityLogStream(flags, &text, number);
    RDStreamDataFree(&text);
}

uint32_t Refuse(const std::string &text) {
    Log(0, text, kFailed);
    return kFailed;
}

uint32_t RunCopy(const CopyJob &job) {
    return CopyRun(job).Run();
}

uint32_t CopyRun::Run() {
    uint32_t status = Open();
    if (status == 0) status = Start();
    if (status == 0 && !finished_) status = CopyBatches();
    return Finish(status);
}

// Both connections, the target told the copy's name (it reads the copy's
// mark at its connect), both connected.
uint32_t CopyRun::Open() {
    uint32_t status = source_.Open(job_.sourceLink, kCondition, job_.sourceSelect);
    if (status == 0) status = target_.Open(job_.targetLink, kMetadata, job_.targetTable);
    if (status != 0) return status;
    keepsMarks_ = !job_.name.empty() && target_.Declares(rdxc::kMarkName);
    positioned_ = source_.Declares(rdxc::kReadPosition);
    holds_ = target_.Declares(rdxc::kUncommitted);
    if (keepsMarks_) status = target_.SetText(rdxc::kMarkName, job_.name);
    if (status == 0) status = RDConnectConnect(source_.handle());
    if (status == 0) status = RDConnectConnect(target_.handle());
    targetConnected_ = status == 0;
    return status;
}

// Everything before the first batch: the mark, the source's order and
// position, the select, the records a resumed run has copied already read
// past, and the target table made when the copy creates it.
uint32_t CopyRun::Start() {
    bool resuming = false;
    uint32_t status = ReadMark(resuming);
    if (status != 0 || finished_) return status;
    status = OrderSource();
    if (status == 0 && resuming) status = PositionSource();
    if (status == 0) status = list_.Alloc(job_.batchSize);
    uint32_t total = 0;
    if (status == 0)
        status = RDConnectSelect(source_.handle(), list_.handle(), job_.batchSize, 0, &total);
    if (status == 0 && resuming) status = SkipConsumed();
    if (status != 0 || resuming) return status;
    // A new copy marks its start before its first batch (with the table it
    // creates, or at once), so that a run killed before its first batch is
    // not taken for the last finished one.
    if (keepsMarks_) status = target_.SetText(rdxc::kMark, FormatMark(start_));
    if (status == 0 && job_.createTarget)
        return RDConnectCreate(target_.handle(), kCreateTable, list_.handle());
    if (status == 0 && keepsMarks_)
        status = RDConnectAction(target_.handle(), rdxc::kActionSaveMark);
    return status;
}

} // namespace rdcopy
