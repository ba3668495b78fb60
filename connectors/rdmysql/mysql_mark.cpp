// SPDX-License-Identifier: Apache-2.0
// The resume mark of a copy into the database: one row per copy name in the
// mark table, read at connect and stored in the transaction of the batch,
// so that a kill or a rollback leaves neither the rows nor the mark. The
// store changes the row only while it holds the text this connection saw
// (copy_mark.h): InnoDB locks the row for the first run's transaction, and
// the second run's UPDATE then finds the new text and changes nothing.
// The server commits a CREATE TABLE on its own, so the mark table is made
// before a batch's transaction begins, and a mark set with a new table is
// stored in a transaction right after it.
#include "connector_actions.h"
#include "connector_resume.h"
#include "mysql_connection.h"
#include "mysql_dialect.h"

#include "rdx_status.h"

#include <cstdlib>
#include <cstring>

namespace rdmysql {
namespace {

const std::string kMarks = std::string("`") + rdxc::kMarkTable + "`";

// The rows an UPDATE found, whether or not it changed them, from the
// server's "Rows matched: N  Changed: M  Warnings: W".
uint64_t RowsMatched(MYSQL *db) {
    const char *info = mysql_info(db);
    const char *at = info != nullptr ? std::strstr(info, "Rows matched: ") : nullptr;
    return at != nullptr ? std::strtoull(at + 14, nullptr, 10) : mysql_affected_rows(db);
}

} // namespace

bool Connection::TableThere(const std::string &table) {
    std::vector<std::vector<std::string>> found;
    return Query("SELECT 1 FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
                 "TABLE_NAME = " +
                     Literal(table),
                 found) != RDSTATUS_OK ||
           !found.empty();
}

// The stored text, empty when there is none. A missing mark table is not
// made here, so that a connection that only reads changes nothing.
uint32_t Connection::LoadMark() {
    mark_.Forget();
    markTable_ = false;
    if (!mark_.Active()) return RDSTATUS_OK;
    std::vector<std::vector<std::string>> found;
    if (uint32_t status = Query("SELECT 1 FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                                "DATABASE() AND TABLE_NAME = " +
                                    Literal(rdxc::kMarkTable),
                                found);
        status != RDSTATUS_OK)
        return status;
    markTable_ = !found.empty();
    if (!markTable_) return RDSTATUS_OK;
    std::vector<std::vector<std::string>> rows;
    if (uint32_t status =
            Query("SELECT mark FROM " + kMarks + " WHERE name = " + Literal(mark_.Name()), rows);
        status != RDSTATUS_OK)
        return status;
    if (rows.size() != 1 || rows[0].empty()) return RDSTATUS_OK;
    // A mark counts only while the table it counts the rows of is there.
    if (source_.table.empty() || TableThere(source_.table))
        mark_.Loaded(rows[0][0]);
    else
        mark_.HeldOnly(rows[0][0]);
    return RDSTATUS_OK;
}

uint32_t Connection::MakeMarkTable() {
    if (markTable_ || !mark_.Pending()) return RDSTATUS_OK;
    if (uint32_t status =
            Run("CREATE TABLE IF NOT EXISTS " + kMarks +
                " (name VARBINARY(3072) PRIMARY KEY, mark MEDIUMTEXT CHARACTER SET "
                "utf8mb4 COLLATE utf8mb4_bin NOT NULL, updated TIMESTAMP(6) NOT NULL DEFAULT "
                "CURRENT_TIMESTAMP(6)) ENGINE=InnoDB");
        status != RDSTATUS_OK)
        return status;
    markTable_ = true;
    return RDSTATUS_OK;
}

// Inside the open transaction: the pending text over the one this
// connection saw, or as the first of its name.
uint32_t Connection::StoreMark(const std::string &notWritten) {
    if (!mark_.Pending()) return RDSTATUS_OK;
    const std::optional<std::string> &held = mark_.Held();
    const std::string sql =
        held ? "UPDATE " + kMarks + " SET mark = " + Literal(mark_.Text()) +
                   ", updated = CURRENT_TIMESTAMP(6) WHERE name = " + Literal(mark_.Name()) +
                   " AND mark = " + Literal(*held)
             : "INSERT IGNORE INTO " + kMarks + " (name, mark) VALUES (" + Literal(mark_.Name()) +
                   ", " + Literal(mark_.Text()) + ")";
    // One statement without rows: its counts are read before anything else.
    if (mysql_real_query(db_, sql.data(), sql.size()) != 0)
        return ServerFailure("the mark cannot be stored");
    const uint64_t rows = held ? RowsMatched(db_) : mysql_affected_rows(db_);
    if (rows != 1)
        return log_.Fail(mark_.Conflict(
            source_.table.empty() ? "this database" : "table " + source_.table, notWritten));
    return RDSTATUS_OK;
}

// The mark alone, in a transaction of its own.
uint32_t Connection::SaveMark() {
    if (db_ == nullptr) return RDSTATUS_NOTCONNECTED;
    if (!mark_.Active()) return log_.Fail("the mark cannot be saved: no MarkName is set");
    mark_.Set(mark_.Text());
    if (uint32_t status = Ready(); status != RDSTATUS_OK) return status;
    if (uint32_t status = MakeMarkTable(); status != RDSTATUS_OK) return status;
    if (mysql_query(db_, "START TRANSACTION") != 0)
        return ServerFailure("the mark's transaction cannot begin");
    uint32_t status = StoreMark("mark");
    if (status == RDSTATUS_OK && mysql_commit(db_) != 0)
        status = ServerFailure("the mark cannot be committed");
    if (status != RDSTATUS_OK) {
        RollBack();
        return status;
    }
    mark_.Stored();
    return RDSTATUS_OK;
}

// Every batch is committed when its insert returns: a rollback finds
// nothing held.
uint32_t Connection::Action(uint32_t action) {
    if (action == rdxc::kActionRollback) return RDSTATUS_OK;
    if (action == rdxc::kActionSaveMark) return SaveMark();
    return Unsupported("this action");
}

} // namespace rdmysql
