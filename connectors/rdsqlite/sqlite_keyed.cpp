// SPDX-License-Identifier: Apache-2.0
// The keyed inserts: an upsert (INSERT ... ON CONFLICT (key) DO UPDATE)
// into a table that has a unique key on exactly the Key columns, and a
// delete-insert that deletes each record's key before inserting it.
#include "sqlite_connection.h"

#include "rdx_status.h"
#include "sql_write.h"
#include "sqlite_dialect.h"
#include "sqlite_values.h"

#include <map>

namespace rdsqlite {

uint32_t Connection::PrepareKeyed(const std::vector<TableColumn> &columns, std::string &sql) {
    if (uint32_t status = TargetKey(writeFields_, keyFields_); status != RDSTATUS_OK) return status;
    std::vector<std::string> names, key;
    for (const rdxc::ListField &field : writeFields_)
        names.push_back(field.name);
    for (size_t k : keyFields_)
        key.push_back(writeFields_[k].name);
    if (target_.mode == rdxc::WriteMode::Upsert) {
        if (uint32_t status = CheckUniqueKey(columns, key); status != RDSTATUS_OK) return status;
        sql += kDialect.OnConflict(names, key);
        return RDSTATUS_OK;
    }
    deleteParameters_.clear();
    const std::string remove = rdxc::KeyDelete(kDialect, source_.table, key, [&](size_t k) {
        const size_t field = keyFields_[k];
        for (const TableColumn &column : columns)
            if (rdxc::SameWord(column.name, writeFields_[field].name))
                deleteParameters_.push_back({field, TargetColumnOf(column.type)});
        return kDialect.Marker(deleteParameters_.size());
    });
    if (int result = sqlite3_prepare_v2(db_, remove.c_str(), -1, delete_.out(), nullptr);
        result != SQLITE_OK)
        return SqlFailure("the delete of table " + source_.table + " cannot be prepared", result);
    return RDSTATUS_OK;
}

// The primary key (of a rowid table it has no index) and every unique
// index that is not partial; an index on an expression has a null column.
uint32_t Connection::CheckUniqueKey(const std::vector<TableColumn> &columns,
                                    const std::vector<std::string> &key) {
    std::map<int, std::string> primary;
    for (const TableColumn &column : columns)
        if (column.key > 0) primary[column.key] = column.name;
    std::map<std::string, std::vector<std::string>> indexes;
    for (const auto &[position, name] : primary)
        indexes["primary key"].push_back(name);
    Statement statement;
    const char *sql = "SELECT il.name, ii.name FROM pragma_index_list(?1) il, "
                      "pragma_index_info(il.name) ii WHERE il.\"unique\" AND NOT il.partial";
    if (int result = sqlite3_prepare_v2(db_, sql, -1, statement.out(), nullptr);
        result != SQLITE_OK)
        return SqlFailure("the indexes of table " + source_.table + " cannot be read", result);
    sqlite3_bind_text(statement.get(), 1, source_.table.c_str(), -1, SQLITE_TRANSIENT);
    int result = 0;
    while ((result = sqlite3_step(statement.get())) == SQLITE_ROW) {
        const auto *index = reinterpret_cast<const char *>(sqlite3_column_text(statement.get(), 0));
        const auto *column =
            reinterpret_cast<const char *>(sqlite3_column_text(statement.get(), 1));
        indexes[index == nullptr ? "" : index].push_back(column == nullptr ? "" : column);
    }
    if (result != SQLITE_DONE)
        return SqlFailure("the indexes of table " + source_.table + " cannot be read", result);
    for (const auto &[name, indexed] : indexes)
        if (rdxc::SameColumns(indexed, key)) return RDSTATUS_OK;
    ResetWrite();
    return rdxc::NoUniqueKey(source_.table, key, log_);
}

uint32_t Connection::DeleteKey(uint32_t index, int &result) {
    sqlite3_stmt *statement = delete_.get();
    sqlite3_reset(statement);
    deleteTexts_.resize(deleteParameters_.size());
    for (size_t p = 0; p < deleteParameters_.size(); ++p) {
        const rdxc::ListField &field = writeFields_[deleteParameters_[p].field];
        std::string problem;
        if (BindValue(statement, static_cast<int>(p + 1), field.field, field.type, index,
                      deleteParameters_[p].column, values_, deleteTexts_[p],
                      problem) != RDSTATUS_OK) {
            result = SQLITE_MISMATCH;
            return 1;
        }
    }
    result = sqlite3_step(statement);
    sqlite3_reset(statement);
    if (result == SQLITE_DONE) return result = SQLITE_OK, 0;
    result = sqlite3_extended_errcode(db_);
    return 1;
}

} // namespace rdsqlite
