// The copy: both connections, a select on the source, then batches fetched
// from the source and inserted into the target until the source ends. A
// batch the target refuses is written again record by record when bad
// records are skipped, so that every good record arrives.
#include "connection.h"
#include "connector_actions.h"
#include "copy_job.h"

#include "rdxapi.h"

#include <string>

namespace rdcopy {
namespace {

constexpr uint32_t kEndOfData = 12290;
// The status of a record that a connector refused and logged: the one
// fault that "skip" goes past. Any other status ends the copy.
constexpr uint32_t kRecordFault = 12325;
// The object kind of RDConnectCreate that makes a table from a field list.
constexpr uint32_t kCreateTable = 3;

struct Counts {
    uint64_t read = 0, written = 0, skipped = 0;
    uint64_t badSource = 0; // source records skipped, counted in skipped too
    // The number of the next source record, bad ones included.
    uint64_t NextRecord() const { return read + badSource + 1; }
};

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

// Records from..count one by one, after the target refused the batch as a
// whole; the records it refuses again are logged with their numbers and
// skipped. `first` is the source number of the batch's first record. A
// failure that is not a record's own (the target went away) ends the copy.
uint32_t WriteOneByOne(uint32_t target, uint32_t list, uint32_t from, uint32_t count,
                       uint64_t first, Counts &counts) {
    for (uint32_t i = from; i <= count; ++i) {
        uint32_t done = 0;
        const uint32_t status = RDConnectInsert(target, list, i, 1, &done);
        counts.written += done;
        if (status == 0 && done == 1) continue;
        if (status != 0 && status != kRecordFault) return status;
        Log(0, "Record " + std::to_string(first + i - 1) + " was skipped", status);
        ++counts.skipped;
    }
    return 0;
}

uint32_t WriteBatch(const CopyJob &job, uint32_t target, uint32_t list, uint32_t count,
                    Counts &counts) {
    const uint64_t first = counts.NextRecord();
    counts.read += count;
    uint32_t done = 0;
    const uint32_t status = RDConnectInsert(target, list, 1, count, &done);
    counts.written += done;
    if (status == 0 || !job.skipBadRecords) return status;
    // A refused batch wrote nothing; should a target keep part of it, those
    // records are not written twice.
    return done < count ? WriteOneByOne(target, list, done + 1, count, first, counts) : 0;
}

uint32_t CopyBatches(const CopyJob &job, uint32_t source, uint32_t target, uint32_t list,
                     Counts &counts) {
    for (;;) {
        uint32_t fetched = 0;
        const uint32_t status = RDConnectFetch(source, list, 1, job.batchSize, &fetched);
        if (fetched != 0) {
            const uint32_t written = WriteBatch(job, target, list, fetched, counts);
            if (written != 0) return written;
        }
        if (status == 0) continue;
        if (status == kEndOfData) return 0;
        // The source logged what was wrong with its record.
        if (!job.skipBadRecords || status != kRecordFault) return status;
        ++counts.badSource;
        ++counts.skipped;
    }
}

std::string CountsText(const Counts &counts) {
    return std::to_string(counts.read) + " records read, " + std::to_string(counts.written) +
           " written, " + std::to_string(counts.skipped) + " skipped";
}

// The copy's last log record: its counts, and when it failed, what made it
// stop, so that the last entry of a failed copy tells its cause.
void LogEnd(const Counts &counts, uint32_t status, const std::string &cause) {
    if (status == 0) {
        Log(RDLOG_INFORMATIONAL, "rdcopy: " + CountsText(counts) + ".", 0);
        return;
    }
    Log(0, "rdcopy stopped after " + CountsText(counts) + (cause.empty() ? "." : ": " + cause),
        status);
}

} // namespace

uint32_t RunCopy(const CopyJob &job) {
    Connection source, target;
    FieldList list;
    uint32_t total = 0;
    uint32_t status = source.Open(job.sourceLink, kCondition, job.sourceSelect);
    if (status == 0) status = target.Open(job.targetLink, kMetadata, job.targetTable);
    if (status == 0) status = RDConnectConnect(source.handle());
    if (status == 0) status = RDConnectConnect(target.handle());
    const bool targetConnected = status == 0;
    if (status == 0) status = list.Alloc(job.batchSize);
    if (status == 0)
        status = RDConnectSelect(source.handle(), list.handle(), job.batchSize, 0, &total);
    if (status == 0 && job.createTarget)
        status = RDConnectCreate(target.handle(), kCreateTable, list.handle());
    Counts counts;
    if (status == 0)
        status = CopyBatches(job, source.handle(), target.handle(), list.handle(), counts);
    // A target may hold written records until it disconnects (one
    // transaction for the whole copy): its disconnect is part of the copy,
    // and a failed copy has it discard them first.
    const bool copied = status == 0;
    if (copied) status = RDConnectDisconnect(target.handle());
    const std::string cause = status != 0 ? LastFailure() : std::string();
    if (!copied && targetConnected) RDConnectAction(target.handle(), rdxc::kActionRollback);
    LogEnd(counts, status, cause);
    return status;
}

} // namespace rdcopy
