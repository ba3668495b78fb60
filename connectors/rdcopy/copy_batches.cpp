// SPDX-License-Identifier: Apache-2.0
// The batches: fetched from the source, inserted into the target with the
// mark that tells how far the source has been read once they are in. A batch
// the target refuses is written again record by record when bad records are
// skipped, so that every good record arrives.
#include "connector_actions.h"
#include "connector_records.h"
#include "connector_resume.h"
#include "copy_run.h"

#include "rdxapi.h"

namespace rdcopy {
namespace {

// A source that keeps answering without a record, an end or a failure that
// ends the copy has stopped making progress.
constexpr uint32_t kMostStalls = 100;
// Bad records in a row, without one good record, that a source without a
// position to compare may report before the copy takes it for stuck.
constexpr uint64_t kMostFaultsInRow = 100000;

} // namespace

// Ends a copy whose source makes no progress (a plug-in that answers a
// fetch with nothing and no end, or the same bad record again and again),
// which would otherwise spin for ever.
uint32_t CopyRun::CheckProgress(uint32_t status, uint32_t fetched, const std::string &before) {
    stalls_ = status == 0 && fetched == 0 ? stalls_ + 1 : 0;
    if (stalls_ >= kMostStalls)
        return Refuse("The source link " + job_.sourceLink +
                      " made no progress: " + std::to_string(kMostStalls) +
                      " fetches in a row gave no record and no end of the data.");
    // Only a copy that skips goes on after a bad record; one that stops ends
    // with that record's own fault.
    const bool faultOnly = IsRecordFault(status) && fetched == 0 && job_.skipBadRecords;
    faultsInRow_ = faultOnly ? faultsInRow_ + 1 : 0;
    if (faultOnly && positioned_ && fetchPosition_ == before)
        return Refuse("The source link " + job_.sourceLink +
                      " made no progress: it reported the same bad record again.");
    if (faultsInRow_ >= kMostFaultsInRow)
        return Refuse("The source link " + job_.sourceLink + " made no progress: " +
                      Grouped(kMostFaultsInRow) + " records in a row could not be read.");
    return 0;
}

uint32_t CopyRun::CopyBatches() {
    StartPipeline();
    const uint32_t status = CopyEachBatch();
    prefetch_.Stop();
    return status;
}

// The next batch is read on a second thread while this one is written, into
// a second list of the same layout, unless Pipeline is 0 or the thread or
// list cannot be had: then the copy reads and writes in turn.
void CopyRun::StartPipeline() {
    if (!job_.pipeline || sourceEnded_) return;
    if (spare_.CopyOf(list_.handle()) != 0 || !MapKeyFields()) return;
    prefetch_.Start();
}

// The batch's records after the carried ones: taken from the second thread
// when it read them, else fetched now.
uint32_t CopyRun::FetchBatch(uint32_t carried, uint32_t &fetched) {
    fetched = 0;
    if (prefetch_.Pending()) return prefetch_.Take(fetched);
    if (sourceEnded_) return kEndOfData;
    if (carried >= job_.batchSize) return 0;
    return RDConnectFetch(source_.handle(), Batch(), 1 + carried, job_.batchSize - carried,
                          &fetched);
}

// Reads the batch after this one into the other list.
void CopyRun::IssueNext() {
    if (!prefetch_.Started()) return;
    const uint32_t next = inSpare_ ? list_.handle() : spare_.handle();
    prefetch_.Issue(source_.handle(), next, 1, job_.batchSize);
}

uint32_t CopyRun::CopyEachBatch() {
    for (;;) {
        // A record read before the first batch (to find where an incremental
        // copy goes on) stands first in it.
        const uint32_t carried = carried_;
        carried_ = 0;
        uint32_t fetched = 0;
        const std::string before = fetchPosition_;
        const uint32_t status = FetchBatch(carried, fetched);
        fetched = Bounded(fetched, job_.batchSize - carried, job_.sourceLink) + carried;
        const bool skipFault = IsRecordFault(status) && job_.skipBadRecords;
        // A batch is clean when the source stands right after it: it ended
        // at the batch's end, or after a bad record that is skipped.
        const bool clean = status == 0 || status == kEndOfData || skipFault;
        if (positioned_ && clean && (fetched != 0 || skipFault)) {
            const uint32_t told = source_.GetText(rdxc::kReadPosition, fetchPosition_);
            if (told != 0) return told;
        }
        if (const uint32_t stuck = CheckProgress(status, fetched, before); stuck != 0) return stuck;
        if (const uint32_t keyless = ReadKeys(carried + 1, fetched); keyless != 0) return keyless;
        // The bad record goes to the rejects before the batch whose mark
        // counts it is committed.
        if (skipFault) {
            if (const uint32_t rejected = RejectSourceRecord(fetched); rejected != 0)
                return rejected;
        }
        // The source is not asked anything more about this batch: the next
        // one can be read while this one is written.
        if (clean && status != kEndOfData) IssueNext();
        if (fetched != 0) {
            const uint32_t written = WriteBatch(fetched, clean, skipFault ? 1 : 0);
            if (written != 0) return written;
        }
        if (!clean) return status;
        if (skipFault) {
            ++counts_.badSource;
            ++counts_.skipped;
        }
        AdvanceStart(fetched, skipFault ? 1 : 0);
        if (status == kEndOfData) return 0;
        if (prefetch_.Pending()) inSpare_ = !inSpare_;
    }
}

// Where the next batch starts once this one (and the bad record after it)
// is consumed.
void CopyRun::AdvanceStart(uint32_t fetched, uint64_t badAfter) {
    start_ = MarkAfter(fetched, true, badAfter);
}

// The mark once `records` of the batch are consumed: the end of a clean
// batch (with the bad record after it), or `records` past the batch's start.
CopyMark CopyRun::MarkAfter(uint32_t records, bool whole, uint64_t badAfter) const {
    CopyMark mark = start_;
    if (whole) {
        mark.base = start_.Records() + records + badAfter;
        mark.extra = 0;
        // The source told where it stands only when the fetch read something.
        if (records != 0 || badAfter != 0) mark.position = fetchPosition_;
    } else {
        mark.extra += records;
    }
    FoldKeys(mark, records);
    return mark;
}

// A record the source could not read, after `fetched` good ones: its raw
// bytes (where the source keeps them) to the reject file, with where it
// began and the source's words for what was wrong.
uint32_t CopyRun::RejectSourceRecord(uint32_t fetched) {
    const std::string reason = source_.LastError();
    int32_t line = 0;
    const bool lined = sourceRejectLine_ &&
                       RDConnectGetPropertyInt(source_.handle(), rdxc::kRejectLine, &line) == 0 &&
                       line > 0;
    const std::string where = lined ? "line " + std::to_string(line)
                                    : "record " + std::to_string(counts_.Consumed() + fetched + 1);
    if (firstSkip_.empty()) firstSkip_ = reason;
    if (!rejects_.Active()) return 0;
    std::string raw;
    if (sourceRejects_ && source_.GetText(rdxc::kRejectRecord, raw) != 0) raw.clear();
    return rejects_.Write(raw, where, reason);
}

// A record the target refused when written alone: its values as one
// delimited line to the reject file.
uint32_t CopyRun::RejectTargetRecord(uint32_t index, uint64_t number) {
    const std::string reason = target_.LastError();
    const std::string where = "record " + std::to_string(number);
    if (firstSkip_.empty()) firstSkip_ = where + ": " + reason;
    if (!rejects_.Active()) return 0;
    return rejects_.Write(DelimitedRecord(Batch(), index), where, reason);
}

// A count larger than asked (the library passes an "unknown" count of
// 0xFFFFFFFF on) is cut down to what was asked, and said once.
uint32_t CopyRun::Bounded(uint32_t told, uint32_t asked, const std::string &link) {
    if (told <= asked) return told;
    if (!toldCut_)
        Log(RDLOG_INFORMATIONAL,
            "The link " + link + " told " + std::to_string(told) + " records where " +
                std::to_string(asked) + " were asked for; the copy takes " + std::to_string(asked) +
                ".",
            0);
    toldCut_ = true;
    return asked;
}

// A target that reports fewer records written than asked, without a
// failure, lost the others: the copy cannot count it as done.
uint32_t CopyRun::ShortWrite(uint32_t done, uint32_t count) const {
    return Refuse("The target link " + job_.targetLink + " wrote " + std::to_string(done) + " of " +
                  std::to_string(count) +
                  " records without reporting a failure; the copy cannot go on.");
}

// How many records the target holds uncommitted after an insert that
// wrote `done`. A stop that comes during the insert refuses the question.
// A target that commits every insert has committed this one too, and one
// that holds the whole copy holds this one too; one that was seen holding a
// span may have committed it or added to it, so the outcome counts the
// insert's records as perhaps rolled back.
void CopyRun::ReadHeld(uint32_t done) {
    int32_t held = 0;
    if (RDConnectGetPropertyInt(target_.handle(), rdxc::kUncommitted, &held) == 0) {
        held_ = held > 0 ? static_cast<uint64_t>(held) : 0;
        heldSeen_ = heldSeen_ || held_ != 0;
        heldUnsure_ = 0;
    } else if (heldSeen_ && held_ == counts_.written) {
        held_ += done; // it holds the whole copy in one transaction
    } else if (heldSeen_) {
        heldUnsure_ += done;
    }
}

// One insert, with the mark that the target commits together with it.
uint32_t CopyRun::Insert(uint32_t first, uint32_t count, const CopyMark &mark, uint32_t &done) {
    done = 0;
    if (keepsMarks_) {
        CopyMark withRejects = mark;
        withRejects.rejectBytes = rejects_.Length();
        withRejects.rejectLogBytes = rejects_.LogLength();
        if (const uint32_t status = target_.SetText(rdxc::kMark, FormatMark(withRejects));
            status != 0)
            return status;
    }
    const uint32_t status = RDConnectInsert(target_.handle(), Batch(), first, count, &done);
    done = Bounded(done, count, job_.targetLink);
    if (holds_) ReadHeld(done);
    return status;
}

uint32_t CopyRun::WriteBatch(uint32_t count, bool clean, uint64_t badAfter) {
    const uint64_t first = counts_.NextRecord();
    counts_.read += count;
    CopyMark mark = MarkAfter(count, clean, badAfter);
    mark.written = counts_.written + count;
    mark.skipped = counts_.skipped + badAfter;
    mark.bad = counts_.badSource + badAfter;
    uint32_t done = 0;
    const uint32_t status = Insert(1, count, mark, done);
    counts_.written += done;
    if (status == 0 && done < count) return ShortWrite(done, count);
    if (status == 0 || !job_.skipBadRecords || !IsRecordFault(status)) return status;
    // A batch refused for a record's fault is written again record by
    // record (any other fault ends the copy); should a target keep part of
    // it, those records are not written twice.
    return done < count ? WriteOneByOne(done + 1, count, first, clean, badAfter) : 0;
}

// Records from..count one by one, after the target refused the batch as a
// whole; the records it refuses again are logged with their numbers and
// skipped. `first` is the source number of the batch's first record. Each
// record carries the mark that stands right after it. A failure that is not
// a record's own (the target went away) ends the copy.
uint32_t CopyRun::WriteOneByOne(uint32_t from, uint32_t count, uint64_t first, bool clean,
                                uint64_t badAfter) {
    for (uint32_t i = from; i <= count; ++i) {
        const bool last = i == count;
        CopyMark mark = MarkAfter(i, last && clean, last ? badAfter : 0);
        mark.written = counts_.written + 1;
        mark.skipped = counts_.skipped + (last ? badAfter : 0);
        mark.bad = counts_.badSource + (last ? badAfter : 0);
        uint32_t done = 0;
        const uint32_t status = Insert(i, 1, mark, done);
        counts_.written += done;
        if (status == 0 && done == 1) continue;
        if (status == 0) return ShortWrite(done, 1);
        if (status != 0 && !IsRecordFault(status)) return status;
        if (const uint32_t rejected = RejectTargetRecord(i, first + i - 1); rejected != 0)
            return rejected;
        Log(0, "Record " + std::to_string(first + i - 1) + " was skipped", status);
        ++counts_.skipped;
    }
    return 0;
}

} // namespace rdcopy
