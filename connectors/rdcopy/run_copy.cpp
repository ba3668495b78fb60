// The copy: both connections, a select on the source, then batches fetched
// from the source and inserted into the target until the source ends. A
// batch the target refuses is written again record by record when bad
// records are skipped, so that every good record arrives.
#include "connection.h"
#include "copy_job.h"

#include "rdxapi.h"

#include <string>

namespace rdcopy {
namespace {

constexpr uint32_t kEndOfData = 12290;
// The object kind of RDConnectCreate that makes a table from a field list.
constexpr uint32_t kCreateTable = 3;

struct Counts {
    uint64_t read = 0, written = 0, skipped = 0;
};

void Log(uint32_t flags, const std::string &message, uint32_t number) {
    RDStream text;
    RDStreamClear(&text);
    RDStreamDataSet(&text, RDCHARSET_DEFAULT, message.data(),
                    static_cast<uint32_t>(message.size()));
    RDActivityLogStream(flags, &text, number);
    RDStreamDataFree(&text);
}

// Record by record, after the target refused the batch as a whole; the
// records it refuses again are logged with their numbers and skipped.
uint32_t WriteOneByOne(uint32_t target, uint32_t list, uint32_t count, Counts &counts) {
    for (uint32_t i = 1; i <= count; ++i) {
        uint32_t done = 0;
        const uint32_t status = RDConnectInsert(target, list, i, 1, &done);
        counts.written += done;
        if (status == 0 && done == 1) continue;
        std::string message = "Record ";
        message.append(std::to_string(counts.read + i)).append(" was skipped.");
        Log(0, message, status);
        ++counts.skipped;
    }
    return 0;
}

uint32_t WriteBatch(const CopyJob &job, uint32_t target, uint32_t list, uint32_t count,
                    Counts &counts) {
    uint32_t done = 0;
    const uint32_t status = RDConnectInsert(target, list, 1, count, &done);
    if (status == 0) {
        counts.written += done;
        return 0;
    }
    if (!job.skipBadRecords) {
        counts.written += done;
        return status;
    }
    return WriteOneByOne(target, list, count, counts);
}

uint32_t CopyBatches(const CopyJob &job, uint32_t source, uint32_t target, uint32_t list,
                     Counts &counts) {
    for (;;) {
        uint32_t fetched = 0;
        const uint32_t status = RDConnectFetch(source, list, 1, job.batchSize, &fetched);
        const bool end = status == kEndOfData;
        const bool bad = status != 0 && !end;
        if (fetched != 0) {
            const uint32_t written = WriteBatch(job, target, list, fetched, counts);
            if (written != 0) return written;
        }
        counts.read += fetched;
        if (end) return 0;
        if (!bad) continue;
        // The source logged what was wrong with its record.
        if (!job.skipBadRecords) return status;
        ++counts.skipped;
    }
}

void LogCounts(const Counts &counts) {
    std::string message = "rdcopy: ";
    message.append(std::to_string(counts.read)).append(" records read, ");
    message.append(std::to_string(counts.written)).append(" written, ");
    message.append(std::to_string(counts.skipped)).append(" skipped.");
    Log(RDLOG_INFORMATIONAL, message, 0);
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
    if (status == 0) status = list.Alloc(job.batchSize);
    if (status == 0)
        status = RDConnectSelect(source.handle(), list.handle(), job.batchSize, 0, &total);
    if (status == 0 && job.createTarget)
        status = RDConnectCreate(target.handle(), kCreateTable, list.handle());
    Counts counts;
    if (status == 0)
        status = CopyBatches(job, source.handle(), target.handle(), list.handle(), counts);
    LogCounts(counts);
    return status;
}

} // namespace rdcopy
