// SPDX-License-Identifier: Apache-2.0
// Properties, connect, disconnect and execute of an SQLite connection.
#include "sqlite_connection.h"

#include "connector_records.h"
#include "connector_resume.h"
#include "property_value.h"
#include "rdx_connector.h"
#include "rdx_status.h"
#include "sqlite_types.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>

namespace rdsqlite {

uint32_t Connection::SetOwn(uint32_t index, uint32_t field) {
    switch (index) {
    case kSetup:
        return rdxc::GetText(field, settings_.setup);
    case kCreate:
        return rdxc::GetFlag(field, settings_.create);
    case kBusyTimeout: {
        int32_t milliseconds = 0;
        if (uint32_t status = rdxc::GetInt(field, milliseconds); status != RDSTATUS_OK)
            return status;
        settings_.busyTimeout = milliseconds;
        if (db_ != nullptr) sqlite3_busy_timeout(db_, milliseconds);
        return RDSTATUS_OK;
    }
    case kCommitRecords:
    case kCommitSeconds: {
        int32_t value = 0;
        if (uint32_t status = rdxc::GetInt(field, value); status != RDSTATUS_OK) return status;
        if (value < 0)
            return log_.Fail(
                std::string(index == kCommitRecords ? "CommitRecords" : "CommitSeconds") +
                " cannot be negative");
        (index == kCommitRecords ? settings_.commitRecords : settings_.commitSeconds) = value;
        return RDSTATUS_OK;
    }
    default:
        return RDSTATUS_BADPROPERTY;
    }
}

uint32_t Connection::GetOwn(uint32_t index, uint32_t field) {
    switch (index) {
    case kSetup:
        return rdxc::PutText(field, settings_.setup);
    case kCreate:
        return rdxc::PutInt(field, settings_.create ? 1 : 0);
    case kBusyTimeout:
        return rdxc::PutInt(field, settings_.busyTimeout);
    case kCommitRecords:
        return rdxc::PutInt(field, CommitRecords());
    case kCommitSeconds:
        return rdxc::PutInt(field, settings_.commitSeconds);
    case rdxc::kUncommitted:
        return rdxc::PutInt(field,
                            static_cast<int32_t>(std::min<uint64_t>(Uncommitted(), INT32_MAX)));
    default:
        return RDSTATUS_BADPROPERTY;
    }
}

uint32_t Connection::SqlFailure(const std::string &what, int result) {
    const char *message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(result);
    if (result == SQLITE_NOMEM) return RDSTATUS_NOMEMORY;
    return log_.Fail(what + ": " + message, static_cast<uint32_t>(result));
}

uint32_t Connection::Connect() {
    if (source_.database.empty()) return log_.Fail("no database is named (property Database)");
    struct stat info {};
    if (::stat(source_.database.c_str(), &info) != 0 && !settings_.create)
        return log_.Fail("the database " + source_.database +
                         " cannot be found: " + std::strerror(errno));
    const int flags =
        SQLITE_OPEN_READWRITE | (settings_.create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    const int result = sqlite3_open_v2(source_.database.c_str(), &db_, flags, nullptr);
    if (result != SQLITE_OK) {
        const uint32_t status =
            SqlFailure("the database " + source_.database + " cannot be opened", result);
        sqlite3_close(db_);
        db_ = nullptr;
        return status;
    }
    sqlite3_extended_result_codes(db_, 1);
    insertCommitted_ = false;
    sqlite3_busy_timeout(db_, settings_.busyTimeout);
    // Reading the schema shows at once whether the file is a database; the
    // setup text (pragmas, attachments) follows, then the copy's mark.
    uint32_t status = Run("SELECT count(*) FROM sqlite_schema");
    if (status == RDSTATUS_OK && !settings_.setup.empty()) status = Run(settings_.setup);
    if (status == RDSTATUS_OK) status = LoadMark();
    if (status != RDSTATUS_OK) {
        Disconnect();
        return status;
    }
    return RDSTATUS_OK;
}

uint32_t Connection::Disconnect() {
    values_.ReportRounded(log_, source_.database);
    select_.Reset();
    ResetWrite();
    hasRow_ = false;
    selectedList_ = 0;
    if (db_ == nullptr) return RDSTATUS_OK;
    const uint32_t status = CommitSpan();
    if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
    db_ = nullptr;
    return status;
}

// Runs every statement of sql, stepping each to its end.
uint32_t Connection::Run(const std::string &sql) {
    const char *rest = sql.c_str();
    while (*rest != '\0') {
        Statement statement;
        const char *tail = nullptr;
        int result = sqlite3_prepare_v2(db_, rest, -1, statement.out(), &tail);
        if (result != SQLITE_OK) return SqlFailure("the SQL text cannot be prepared", result);
        rest = tail;
        if (statement.get() == nullptr) continue; // blanks or a comment
        while ((result = sqlite3_step(statement.get())) == SQLITE_ROW) {
        }
        if (result != SQLITE_DONE) return SqlFailure("the SQL text failed", result);
    }
    return RDSTATUS_OK;
}

uint32_t Connection::Execute(uint32_t *count) {
    *count = 0;
    if (uint32_t status = NeedDatabase(); status != RDSTATUS_OK) return status;
    if (source_.sql.empty()) return log_.Fail("execute needs an SQL text (property SQL)");
    if (uint32_t status = CommitSpan(); status != RDSTATUS_OK) return status;
    const sqlite3_int64 before = sqlite3_total_changes64(db_);
    if (uint32_t status = Run(source_.sql); status != RDSTATUS_OK) return status;
    *count = static_cast<uint32_t>(sqlite3_total_changes64(db_) - before);
    return RDSTATUS_OK;
}

uint32_t Connection::NeedDatabase() const {
    return db_ == nullptr ? RDSTATUS_NOTCONNECTED : RDSTATUS_OK;
}

uint32_t Connection::NeedTable() {
    if (db_ == nullptr) return RDSTATUS_NOTCONNECTED;
    if (source_.table.empty()) return log_.Fail("no table is named (property Table)");
    return RDSTATUS_OK;
}

// The table's columns: names, declared types, primary-key positions,
// NOT NULL and whether SQLite fills them (a default, a generated column,
// the rowid alias INTEGER PRIMARY KEY).
uint32_t Connection::TableColumns(std::vector<TableColumn> &columns) {
    Statement info;
    const std::string sql = "SELECT name, type, pk, \"notnull\", dflt_value IS NOT NULL, hidden, "
                            "(SELECT count(*) FROM pragma_table_xinfo(?1) WHERE pk > 0) "
                            "FROM pragma_table_xinfo(?1)";
    if (int result = sqlite3_prepare_v2(db_, sql.c_str(), -1, info.out(), nullptr);
        result != SQLITE_OK)
        return SqlFailure("the columns of " + source_.table + " cannot be read", result);
    sqlite3_bind_text(info.get(), 1, source_.table.c_str(), -1, SQLITE_TRANSIENT);
    int result = 0;
    while ((result = sqlite3_step(info.get())) == SQLITE_ROW) {
        auto text = [&](int column) {
            const auto *bytes =
                reinterpret_cast<const char *>(sqlite3_column_text(info.get(), column));
            return std::string(bytes == nullptr ? "" : bytes);
        };
        TableColumn &column = columns.emplace_back();
        column.name = text(0);
        column.type = text(1);
        column.key = sqlite3_column_int(info.get(), 2);
        column.notNull = sqlite3_column_int(info.get(), 3) != 0;
        const bool rowid = column.key == 1 && sqlite3_column_int(info.get(), 6) == 1 &&
                           rdxc::SameWord(column.type, "INTEGER");
        column.filled = sqlite3_column_int(info.get(), 4) != 0 ||
                        sqlite3_column_int(info.get(), 5) != 0 || rowid;
    }
    if (result != SQLITE_DONE)
        return SqlFailure("the columns of " + source_.table + " cannot be read", result);
    if (columns.empty()) return log_.Fail("the table " + source_.table + " does not exist");
    return RDSTATUS_OK;
}

} // namespace rdsqlite
