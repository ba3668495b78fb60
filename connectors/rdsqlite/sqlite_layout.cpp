// SPDX-License-Identifier: Apache-2.0
// What a write into the target table can be refused for as a whole: a
// database that takes no writes, an insert whose fields leave out a NOT
// NULL column that SQLite does not fill. Checked before the first record
// is written, so that such a target is refused once (12325), not record by
// record; what SQLite refuses of one record (a constraint, a value) is that
// record's fault (12330).
#include "sqlite_connection.h"

#include "connector_records.h"
#include "rdx_status.h"

#include <algorithm>
#include <cctype>

namespace rdsqlite {
namespace {

// Result codes that refuse one record and leave the database as it was.
bool RefusesRecord(int result) {
    switch (result) {
    case SQLITE_CONSTRAINT_CHECK:
    case SQLITE_CONSTRAINT_FOREIGNKEY:
    case SQLITE_CONSTRAINT_NOTNULL:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_TRIGGER: // RAISE(ABORT) of a trigger that checks rows
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_ROWID:
    case SQLITE_CONSTRAINT_DATATYPE: // a value a STRICT table's column refuses
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH: // a text into the rowid alias
    case SQLITE_TOOBIG:
        return true;
    default:
        return false;
    }
}

} // namespace

uint32_t Connection::WriteFailure(const std::string &what, int result) {
    if (result == SQLITE_NOMEM) return RDSTATUS_NOMEMORY;
    const uint32_t detail = static_cast<uint32_t>(result);
    return RefusesRecord(result) ? log_.RecordFault(what, detail) : log_.Fail(what, detail);
}

uint32_t Connection::CheckWritable() {
    if (sqlite3_db_readonly(db_, "main") != 1) return RDSTATUS_OK;
    return log_.Fail("the database " + source_.database +
                     " takes no writes: it was opened read only (the file or its folder cannot "
                     "be written)");
}

// fields: the inserted fields' names, lower case.
uint32_t Connection::CheckCovered(const std::vector<TableColumn> &columns,
                                  const std::vector<std::string> &fields) {
    std::string missing;
    for (const TableColumn &column : columns) {
        std::string name = column.name;
        for (char &c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (column.notNull && !column.filled &&
            std::find(fields.begin(), fields.end(), name) == fields.end())
            missing += (missing.empty() ? "" : ", ") + column.name;
    }
    if (missing.empty()) return RDSTATUS_OK;
    return log_.Fail("the table " + source_.table + " has NOT NULL columns without a default " +
                     "that the records do not have: " + missing + "; no record can be inserted");
}

// "sqlite:DEV:INO:table", the table's name folded as SQLite compares names
// (ASCII letters without case); empty without a database file or a table.
std::string Connection::Identity() {
    const char *file = db_ != nullptr ? sqlite3_db_filename(db_, "main") : nullptr;
    const std::string device =
        rdxc::FileIdentity(file != nullptr && *file != '\0' ? file : source_.database);
    if (device.empty() || source_.table.empty()) return std::string();
    std::string table = source_.table;
    for (char &c : table) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return "sqlite:" + device + ":" + table;
}

} // namespace rdsqlite
