// SPDX-License-Identifier: Apache-2.0
// One run of a copy: its two connections, the field list that carries each
// batch, the counts, and the mark that it keeps in its target so that a
// rerun can resume after the last batch the target committed.
#pragma once

#include "connection.h"
#include "copy_job.h"
#include "copy_lock.h"
#include "copy_mark.h"
#include "copy_rejects.h"
#include "prefetch.h"

#include "list_fields.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rdcopy {

constexpr uint32_t kEndOfData = 12290;
// The status of a record that a connector refused and logged: the one
// fault that "skip" goes past. Any other status ends the copy.
constexpr uint32_t kRecordFault = 12330;
constexpr bool IsRecordFault(uint32_t status) {
    return status == kRecordFault;
}
// The status of a failure the copy logged itself.
constexpr uint32_t kFailed = 12325;

struct Counts {
    uint64_t read = 0, written = 0, skipped = 0;
    uint64_t badSource = 0; // source records skipped, counted in skipped too
    // Source records consumed, bad ones included.
    uint64_t Consumed() const { return read + badSource; }
    // The number of the next source record, bad ones included.
    uint64_t NextRecord() const { return Consumed() + 1; }
};

class CopyRun {
  public:
    explicit CopyRun(const CopyJob &job) : job_(job) {}
    uint32_t Run();

  private:
    // run_copy.cpp
    uint32_t Open();
    uint32_t CheckNotSource();
    uint32_t LockCopy();
    uint32_t Start();
    uint32_t PrepareTable();
    // copy_resume.cpp
    uint32_t ReadMark(bool &resuming);
    void ResumeAfter(const CopyMark &mark);
    uint32_t CheckOrder() const;
    uint32_t OrderSource();
    uint32_t PositionSource();
    uint32_t SkipConsumed();
    // copy_incremental.cpp
    uint32_t FollowMark(const std::optional<CopyMark> &mark, bool &resuming);
    uint32_t CheckSameFile(const std::optional<CopyMark> &mark);
    uint32_t FilterSource();
    std::string TieOrder() const;
    uint32_t FindKeyField();
    uint32_t ReadKeys(uint32_t from, uint32_t count);
    bool MapKeyFields();
    void FoldKeys(CopyMark &mark, uint32_t records) const;
    uint32_t FindTieFields(const std::vector<rdxc::ListField> &fields);
    bool TieAtMost(const std::string &tie, const std::string &bound) const;
    uint32_t SkipEqual();
    void LogBookmark() const;
    // copy_batches.cpp
    uint32_t CopyBatches();
    uint32_t CopyEachBatch();
    void StartPipeline();
    uint32_t FetchBatch(uint32_t carried, uint32_t &fetched);
    void IssueNext();
    uint32_t Batch() const { return inSpare_ ? spare_.handle() : list_.handle(); }
    uint32_t CheckProgress(uint32_t status, uint32_t fetched, const std::string &before);
    uint32_t RejectSourceRecord(uint32_t fetched);
    uint32_t RejectTargetRecord(uint32_t index, uint64_t number);
    uint32_t WriteBatch(uint32_t count, bool clean, uint64_t badAfter);
    uint32_t WriteOneByOne(uint32_t from, uint32_t count, uint64_t first, bool clean,
                           uint64_t badAfter);
    uint32_t Insert(uint32_t first, uint32_t count, const CopyMark &mark, uint32_t &done);
    void ReadHeld(uint32_t done);
    uint32_t ShortWrite(uint32_t done, uint32_t count) const;
    uint32_t Bounded(uint32_t told, uint32_t asked, const std::string &link);
    CopyMark MarkAfter(uint32_t records, bool whole, uint64_t badAfter) const;
    void AdvanceStart(uint32_t fetched, uint64_t badAfter);
    // copy_end.cpp
    uint32_t Finish(uint32_t status);
    uint32_t SaveFinalMark();
    std::string Outcome() const;
    std::string Kept(bool rolledBack) const;

    const CopyJob &job_;
    Connection source_, target_;
    FieldList list_;
    Rejects rejects_;
    CopyLock lock_;
    Counts counts_;
    std::string firstSkip_; // where and why the first record was skipped
    bool targetConnected_ = false;
    bool finished_ = false;         // asked to resume a copy whose last run finished
    bool keepsMarks_ = false;       // the target keeps the copy's mark
    bool positioned_ = false;       // the source tells and takes its read position
    bool holds_ = false;            // the target tells the records it holds uncommitted
    bool sourceRejects_ = false;    // the source gives a bad record's raw bytes
    bool sourceRejectLine_ = false; // and the line where it began
    uint64_t held_ = 0;             // what it told after the last insert
    bool heldSeen_ = false;         // it held records uncommitted after some insert
    uint64_t heldUnsure_ = 0;       // records of an insert it could not tell about (a stop)
    CopyMark start_;                // where the batch being copied starts
    CopyMark resumeFrom_;           // the mark a resumed run goes on after
    uint64_t resumeSkip_ = 0;       // records to read past after the select
    std::string fetchPosition_;     // the source's position after the last fetch
    uint32_t stalls_ = 0;           // fetches in a row that gave nothing and no end
    uint64_t faultsInRow_ = 0;      // bad records in a row without a good one
    bool toldCut_ = false;          // a count larger than asked was logged
    bool resuming_ = false;         // the run goes on after an earlier run's last batch
    bool firstRun_ = false;         // an incremental copy that no run marked yet
    // An incremental copy: the key value read from and, for a SQL source,
    // the tie values of the last record of that key value that earlier runs
    // consumed; the key's field and the tie fields; the key and tie texts of
    // the batch's records.
    std::string since_, sinceTie_;
    rdxc::ListField keyField_;
    std::vector<rdxc::ListField> tieFields_;
    std::vector<std::string> keys_, ties_;
    uint32_t carried_ = 0;     // records fetched before the first batch, kept for it
    bool sourceEnded_ = false; // the source ended before the first batch
    // The pipeline: a second list that the next batch is read into while
    // this one is written; the batch being written is in spare_ when
    // inSpare_. Last, so that its thread ends before the lists go.
    FieldList spare_;
    bool inSpare_ = false;
    rdxc::ListField spareKey_; // the key and tie fields in spare_
    std::vector<rdxc::ListField> spareTies_;
    Prefetch prefetch_;
};

// Writes a free text into the activity's log with the flags and number.
void Log(uint32_t flags, const std::string &message, uint32_t number);
// Logs why the copy cannot go on and returns the free-text status.
uint32_t Refuse(const std::string &text);
// The text of the last log entry when it tells a failure (without its
// "ERROR: "): what made a record or the copy fail.
std::string LastFailure();
// What a log entry says, without the sections the log adds to it (the
// connection, the call, the number) and its closing stop.
std::string Said(std::string text);

} // namespace rdcopy
