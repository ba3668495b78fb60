// SPDX-License-Identifier: Apache-2.0
// The copy: both connections, the target's mark read (a rerun may resume
// after it), a select on the source, then batches fetched from the source
// and inserted into the target until the source ends, and one ending for
// every outcome.
#include "connector_actions.h"
#include "connector_incremental.h"
#include "connector_records.h"
#include "connector_resume.h"
#include "connector_values.h"
#include "copy_run.h"

#include "rdxapi.h"

#include <strings.h>

namespace rdcopy {
namespace {

// The object kind of RDConnectCreate that does what the job asks of a new
// run; 0 for none. An incremental copy makes its table in its first run
// only; a full refresh replaces it.
uint32_t TableKind(const CopyJob &job, bool firstRun) {
    if (job.fullRefresh) return rdxc::kReplaceTable;
    switch (job.mode) {
    case Mode::Create:
        return job.incremental == Incremental::None || firstRun ? rdxc::kCreateTable : 0;
    case Mode::Upsert:
    case Mode::DeleteInsert:
        return rdxc::kEnsureTable;
    case Mode::Replace:
        return rdxc::kReplaceTable;
    case Mode::Truncate:
        return rdxc::kEmptyTable;
    case Mode::Append:
        break;
    }
    return 0;
}

// The copy's Rounding goes to the target, whose connector must know it:
// one that does not would cut or refuse numbers unasked.
uint32_t PassRounding(const Connection &target, const CopyJob &job) {
    if (target.Declares(rdxc::kRounding)) return target.SetText(rdxc::kRounding, job.rounding);
    if (strcasecmp(job.rounding.c_str(), "none") == 0) return 0;
    return Refuse("The target of " + job.name + " (" + job.targetLink +
                  ") does not round numbers: its connector has no property Rounding.");
}

// Upsert and delete-insert: the target told how it writes and by which key
// (a table it makes gets its primary key on them).
uint32_t PassKey(const Connection &target, const CopyJob &job) {
    if (!target.Declares(rdxc::kWriteMode) || !target.Declares(rdxc::kKey)) {
        if (!job.Merges()) return 0;
        return Refuse("The target link " + job.targetLink + " cannot write by key: Mode \"" +
                      ModeName(job.mode) + "\" needs a SQL target.");
    }
    uint32_t status = 0;
    if (job.Merges()) status = target.SetText(rdxc::kWriteMode, ModeName(job.mode));
    if (status == 0 && !job.key.empty()) status = target.SetText(rdxc::kKey, job.key);
    return status;
}

} // namespace

void Log(uint32_t flags, const std::string &message, uint32_t number) {
    RDStream text;
    RDStreamClear(&text);
    RDStreamDataSet(&text, RDCHARSET_DEFAULT, message.data(),
                    static_cast<uint32_t>(message.size()));
    RDActivityLogStream(flags, &text, number);
    RDStreamDataFree(&text);
}

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
    sourceRejects_ = source_.Declares(rdxc::kRejectRecord);
    sourceRejectLine_ = source_.Declares(rdxc::kRejectLine);
    if (keepsMarks_) status = target_.SetText(rdxc::kMarkName, job_.name);
    if (status == 0 && !job_.rounding.empty()) status = PassRounding(target_, job_);
    if (status == 0) status = PassKey(target_, job_);
    if (status == 0 && job_.incremental != Incremental::None && !keepsMarks_)
        status = Refuse("The target link " + job_.targetLink + " of " + job_.name +
                        " keeps no mark, where an incremental copy keeps its bookmark.");
    if (status == 0) status = RDConnectConnect(source_.handle());
    if (status == 0) status = RDConnectConnect(target_.handle());
    targetConnected_ = status == 0;
    if (status == 0) status = CheckNotSource();
    return status == 0 ? LockCopy() : status;
}

// A copy that keeps a mark runs once at a time into its target on this
// machine (the target as its connector identifies it): a second run would
// read from the same mark and write the same records again.
uint32_t CopyRun::LockCopy() {
    if (!keepsMarks_) return 0;
    std::string target;
    if (target_.Declares(rdxc::kIdentity) && target_.GetText(rdxc::kIdentity, target) != 0)
        target.clear();
    // A target that cannot name itself yet (its file or table is still to
    // be made) is not locked: a name alone would be shared with other homes.
    if (target.empty()) return 0;
    bool busy = false;
    std::string error;
    if (lock_.Take(job_.name, target, busy, error)) return 0;
    if (busy)
        return Refuse("Another run of " + job_.name +
                      " is copying into its target on this "
                      "machine (one that lost its server manager goes on to its end); wait for it "
                      "to end, or stop it, before running " +
                      job_.name + " again.");
    return Refuse("The lock of " + job_.name + " cannot be taken: " + error + ".");
}

// A copy into its own source would read what it writes and never end: the
// same link and table, or the same file or table by the connectors' word.
uint32_t CopyRun::CheckNotSource() {
    std::string from, to;
    if (source_.Declares(rdxc::kIdentity) && target_.Declares(rdxc::kIdentity) &&
        source_.GetText(rdxc::kIdentity, from) == 0 && target_.GetText(rdxc::kIdentity, to) == 0 &&
        !from.empty() && from == to)
        return Refuse("The target of " + job_.name + " is its source (" + to +
                      "): a copy into what it reads would never end.");
    if (job_.sourceLink == job_.targetLink && job_.sourceSelect.empty() && job_.targetTable.empty())
        return Refuse("The target of " + job_.name + " is its source (the link " + job_.sourceLink +
                      " and its own table): a copy into what it reads would "
                      "never end.");
    return 0;
}

// Everything before the first batch: the mark, the source's order and
// position, the select, the records a resumed run has copied already read
// past, and the target table made when the copy creates it.
uint32_t CopyRun::Start() {
    bool resuming = false;
    uint32_t status = ReadMark(resuming);
    resuming_ = resuming;
    if (status != 0 || finished_) return status;
    if (!job_.rejects.empty())
        status = rejects_.Open(job_.rejects, resuming, resumeFrom_.rejectBytes,
                               resumeFrom_.rejectLogBytes);
    if (status == 0) status = OrderSource();
    if (status == 0 && resuming) status = PositionSource();
    if (status == 0 && job_.incremental != Incremental::None) status = FilterSource();
    if (status == 0) status = list_.Alloc(job_.batchSize);
    uint32_t total = 0;
    if (status == 0)
        status = RDConnectSelect(source_.handle(), list_.handle(), job_.batchSize, 0, &total);
    if (status == 0 && job_.incremental == Incremental::Key) status = FindKeyField();
    if (status == 0 && resuming) status = SkipConsumed();
    if (status == 0) status = SkipEqual();
    if (status != 0 || resuming) return status;
    // A new copy marks its start before its first batch (with the table it
    // creates, replaces or empties, or at once), so that a run killed before
    // its first batch is not taken for the last finished one. A resumed run
    // returned above: it never drops or empties what earlier batches wrote.
    if (keepsMarks_) status = target_.SetText(rdxc::kMark, FormatMark(start_));
    if (status == 0 && TableKind(job_, firstRun_) != 0) return PrepareTable();
    if (status == 0 && keepsMarks_)
        status = RDConnectAction(target_.handle(), rdxc::kActionSaveMark);
    return status;
}

// The target table made, replaced or emptied as Mode asks; a failure names
// the table and why.
uint32_t CopyRun::PrepareTable() {
    const uint32_t kind = TableKind(job_, firstRun_);
    const uint32_t status = RDConnectCreate(target_.handle(), kind, list_.handle());
    if (status == 0) return 0;
    const char *doing = kind == rdxc::kReplaceTable ? "replace"
                        : kind == rdxc::kEmptyTable ? "empty"
                                                    : "make";
    const std::string cause = Said(LastFailure());
    return Refuse((job_.fullRefresh ? std::string("Full refresh")
                                    : "Mode " + std::string(ModeName(job_.mode))) +
                  ": " + job_.name + " could not " + doing + " the table " +
                  (job_.targetTable.empty() ? "of " + job_.targetLink : job_.targetTable) +
                  (cause.empty() ? "." : " (" + cause + ")."));
}

} // namespace rdcopy
