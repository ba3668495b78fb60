// SPDX-License-Identifier: Apache-2.0
// The resume mark of a copy into the database: one row per copy name in the
// mark table, read at connect and written in the transaction of the batch
// (or of the create) that follows the text being set.
#include "sqlite_connection.h"

#include "connector_actions.h"
#include "connector_resume.h"
#include "rdx_status.h"
#include "sqlite_types.h"

namespace rdsqlite {
namespace {

const std::string kMarks = rdxc::kMarkTable;

} // namespace

// The stored text, empty when there is none; a missing mark table is not
// made here, so that a connection that only reads changes nothing.
uint32_t Connection::LoadMark() {
    mark_.Forget();
    if (!mark_.Active()) return RDSTATUS_OK;
    Statement exists;
    int result = sqlite3_prepare_v2(
        db_, "SELECT 1 FROM main.sqlite_schema WHERE type = 'table' AND name = ?1", -1,
        exists.out(), nullptr);
    if (result == SQLITE_OK) {
        sqlite3_bind_text(exists.get(), 1, kMarks.c_str(), -1, SQLITE_STATIC);
        result = sqlite3_step(exists.get());
    }
    if (result == SQLITE_DONE) return RDSTATUS_OK;
    if (result != SQLITE_ROW) return SqlFailure("the mark cannot be read", result);
    Statement read;
    const std::string sql = "SELECT mark FROM main." + QuoteName(kMarks) + " WHERE name = ?1";
    result = sqlite3_prepare_v2(db_, sql.c_str(), -1, read.out(), nullptr);
    if (result == SQLITE_OK) {
        sqlite3_bind_text(read.get(), 1, mark_.Name().data(), static_cast<int>(mark_.Name().size()),
                          SQLITE_STATIC);
        result = sqlite3_step(read.get());
    }
    if (result == SQLITE_ROW) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(read.get(), 0));
        std::string stored =
            text == nullptr
                ? ""
                : std::string(text, static_cast<size_t>(sqlite3_column_bytes(read.get(), 0)));
        if (TableExists())
            mark_.Loaded(std::move(stored));
        else
            mark_.HeldOnly(std::move(stored));
        return RDSTATUS_OK;
    }
    if (result != SQLITE_DONE) return SqlFailure("the mark cannot be read", result);
    return RDSTATUS_OK;
}

// A mark counts only while the table it counts the rows of is there: a
// user who dropped the table starts the copy again.
bool Connection::TableExists() {
    if (source_.table.empty()) return true;
    Statement exists;
    int result = sqlite3_prepare_v2(
        db_, "SELECT 1 FROM main.sqlite_schema WHERE type = 'table' AND name = ?1 COLLATE NOCASE",
        -1, exists.out(), nullptr);
    if (result != SQLITE_OK) return true;
    sqlite3_bind_text(exists.get(), 1, source_.table.c_str(), -1, SQLITE_STATIC);
    return sqlite3_step(exists.get()) != SQLITE_DONE;
}

int Connection::StoreMark(bool &lost) {
    lost = false;
    const std::string table = "main." + QuoteName(kMarks);
    int result =
        sqlite3_exec(db_,
                     ("CREATE TABLE IF NOT EXISTS " + table +
                      " (name TEXT PRIMARY KEY, mark TEXT NOT NULL, updated TEXT NOT NULL)")
                         .c_str(),
                     nullptr, nullptr, nullptr);
    if (result != SQLITE_OK) return result;
    // The first mark of a name goes in only where none is; a later one
    // only over the text this connection saw.
    const std::optional<std::string> &held = MarkInPlace();
    const std::string now = "strftime('%Y-%m-%d %H:%M:%f', 'now')";
    const std::string sql = held ? "UPDATE " + table + " SET mark = ?2, updated = " + now +
                                       " WHERE name = ?1 AND mark = ?3"
                                 : "INSERT INTO " + table +
                                       " (name, mark, updated) VALUES (?1, ?2, " + now +
                                       ") ON CONFLICT (name) DO NOTHING";
    Statement store;
    result = sqlite3_prepare_v2(db_, sql.c_str(), -1, store.out(), nullptr);
    if (result != SQLITE_OK) return result;
    sqlite3_bind_text(store.get(), 1, mark_.Name().data(), static_cast<int>(mark_.Name().size()),
                      SQLITE_STATIC);
    sqlite3_bind_text(store.get(), 2, mark_.Text().data(), static_cast<int>(mark_.Text().size()),
                      SQLITE_STATIC);
    if (held)
        sqlite3_bind_text(store.get(), 3, held->data(), static_cast<int>(held->size()),
                          SQLITE_STATIC);
    result = sqlite3_step(store.get());
    if (result != SQLITE_DONE) return result;
    lost = sqlite3_changes(db_) != 1;
    if (!lost && spanOpen_) spanMark_ = mark_.Text();
    return SQLITE_OK;
}

uint32_t Connection::MarkLost(const std::string &notWritten) {
    return log_.Fail(mark_.Conflict(
        source_.table.empty() ? "this database" : "table " + source_.table, notWritten));
}

uint32_t Connection::RunWithMark(const std::string &sql) {
    if (int result = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        result != SQLITE_OK)
        return SqlFailure("no transaction can be started", result);
    uint32_t status = sql.empty() ? RDSTATUS_OK : Run(sql);
    bool lost = false;
    if (status == RDSTATUS_OK) {
        if (int result = StoreMark(lost); result != SQLITE_OK)
            status = SqlFailure("the mark cannot be stored", result);
    }
    if (status == RDSTATUS_OK && lost) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return MarkLost(sql.empty() ? "mark" : "change of the table");
    }
    if (status == RDSTATUS_OK) {
        if (int result = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
            result != SQLITE_OK)
            status = SqlFailure("the mark cannot be committed", result);
    }
    if (status != RDSTATUS_OK) {
        if (sqlite3_get_autocommit(db_) == 0)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return status;
    }
    mark_.Stored();
    return RDSTATUS_OK;
}

uint32_t Connection::Action(uint32_t action) {
    if (action == rdxc::kActionRollback) {
        if (spanOpen_)
            rdxc::LogInformation(std::to_string(spanRecords_) +
                                 " records held uncommitted were rolled back");
        RollBackSpan();
        return RDSTATUS_OK;
    }
    if (action != rdxc::kActionSaveMark) return Unsupported("this action");
    if (uint32_t status = NeedDatabase(); status != RDSTATUS_OK) return status;
    if (!mark_.Active()) return log_.Fail("the mark cannot be saved: no MarkName is set");
    // The inserts held go with it.
    if (spanOpen_) return CommitSpan();
    return RunWithMark("");
}

} // namespace rdsqlite
