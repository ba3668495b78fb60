// SPDX-License-Identifier: Apache-2.0
// When inserts are committed. Every transaction of the database waits for
// the disk at its commit in SQLite's default journal mode, so a copy's
// target holds its inserts in one transaction (a span) across insert calls
// (all but its first insert, committed at once) and commits them with the
// copy's mark, which each batch stores in the
// span: a kill leaves the database at the last committed mark, and a rerun
// resumes after exactly the records it counts. The span is committed once
// it holds CommitRecords records or CommitSeconds after it began (looked at
// when an insert ends), before any other operation and at the disconnect. A
// batch that fails is undone back to its savepoint; the span goes on.
#include "sqlite_connection.h"

#include "property_value.h"
#include "rdx_status.h"

namespace rdsqlite {

int32_t Connection::CommitRecords() const {
    if (settings_.commitRecords >= 0) return settings_.commitRecords;
    return mark_.Active() ? kCopyCommitRecords : 0;
}

const std::optional<std::string> &Connection::MarkInPlace() const {
    return spanOpen_ && spanMark_ ? spanMark_ : mark_.Held();
}

uint32_t Connection::BeginBatch() {
    batchSaved_ = false;
    if (!spanOpen_) {
        if (int result = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            result != SQLITE_OK)
            return SqlFailure("no transaction can be started", result);
        spanOpen_ = true;
        spanRecords_ = 0;
        spanBegun_ = std::chrono::steady_clock::now();
        spanMark_.reset();
        lostRecords_ = 0;
        return RDSTATUS_OK;
    }
    if (int result = sqlite3_exec(db_, "SAVEPOINT rdx_batch", nullptr, nullptr, nullptr);
        result != SQLITE_OK)
        return SqlFailure("no savepoint can be set for the batch", result);
    batchSaved_ = true;
    batchMark_ = spanMark_;
    return RDSTATUS_OK;
}

bool Connection::UndoBatch() {
    const bool saved = batchSaved_;
    batchSaved_ = false;
    // An I/O failure, a full disk or memory may make SQLite roll the whole
    // transaction back itself.
    if (spanOpen_ && sqlite3_get_autocommit(db_) != 0) {
        const bool kept = !saved || spanRecords_ == 0;
        lostRecords_ = spanRecords_;
        spanOpen_ = false;
        spanRecords_ = 0;
        spanMark_.reset();
        return kept;
    }
    if (saved) {
        sqlite3_exec(db_, "ROLLBACK TO rdx_batch", nullptr, nullptr, nullptr);
        sqlite3_exec(db_, "RELEASE rdx_batch", nullptr, nullptr, nullptr);
        spanMark_ = batchMark_;
        return true;
    }
    const bool kept = spanRecords_ == 0;
    RollBackSpan();
    return kept;
}

uint32_t Connection::ReleaseBatch() {
    if (!batchSaved_) return RDSTATUS_OK;
    batchSaved_ = false;
    if (int result = sqlite3_exec(db_, "RELEASE rdx_batch", nullptr, nullptr, nullptr);
        result != SQLITE_OK) {
        const uint32_t status = SqlFailure("the batch cannot be released", result);
        RollBackSpan();
        return status;
    }
    return RDSTATUS_OK;
}

bool Connection::CommitDue(uint64_t records) const {
    const int32_t most = CommitRecords();
    if (most <= 0 || records >= static_cast<uint64_t>(most)) return true;
    return settings_.commitSeconds > 0 && std::chrono::steady_clock::now() - spanBegun_ >=
                                              std::chrono::seconds(settings_.commitSeconds);
}

uint32_t Connection::CommitSpan() {
    if (!spanOpen_) return RDSTATUS_OK;
    const std::string held = std::to_string(spanRecords_) + " records held uncommitted";
    if (mark_.Pending() && spanMark_ != mark_.Text()) {
        bool lost = false;
        if (int result = StoreMark(lost); result != SQLITE_OK || lost) {
            const uint32_t status =
                lost ? MarkLost(spanRecords_ == 0 ? "mark" : held)
                     : SqlFailure("the mark cannot be stored; the " + held + " were rolled back",
                                  result);
            RollBackSpan();
            return status;
        }
    }
    if (int result = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr); result != SQLITE_OK) {
        const uint32_t status =
            SqlFailure("the " + held + " cannot be committed; they were rolled back",
                       sqlite3_extended_errcode(db_));
        RollBackSpan();
        return status;
    }
    SpanCommitted();
    return RDSTATUS_OK;
}

void Connection::SpanCommitted() {
    // The mark table holds what the span stored; the mark is stored when
    // no text was set since.
    if (spanMark_) {
        mark_.HeldOnly(*spanMark_);
        if (mark_.Text() == *spanMark_) mark_.Stored();
    }
    spanOpen_ = false;
    spanRecords_ = 0;
    spanMark_.reset();
    lostRecords_ = 0;
}

void Connection::RollBackSpan() {
    batchSaved_ = false;
    if (!spanOpen_) return;
    if (db_ != nullptr && sqlite3_get_autocommit(db_) == 0)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    lostRecords_ = spanRecords_;
    spanOpen_ = false;
    spanRecords_ = 0;
    spanMark_.reset();
}

} // namespace rdsqlite
