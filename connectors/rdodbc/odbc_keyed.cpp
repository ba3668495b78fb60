// SPDX-License-Identifier: Apache-2.0
// The delete-insert of an ODBC target: the keys of the batch are deleted
// with one keyed DELETE run on an array of parameter sets, then the batch is
// inserted, both in the batch's transaction. An upsert is refused: the
// statement for it differs from one data source to the next.
#include "odbc_connection.h"

#include "odbc_diagnostics.h"
#include "rdx_status.h"
#include "sql_write.h"

namespace rdodbc {

uint32_t Connection::PrepareDelete() {
    keyFields_.clear();
    delete_.Free();
    if (target_.mode == rdxc::WriteMode::Insert) return RDSTATUS_OK;
    if (target_.mode == rdxc::WriteMode::Upsert)
        return Fail("the ODBC link cannot upsert into " + source_.table +
                    "; use Mode \"delete-insert\"");
    if (!transactions_)
        return Fail("a delete-insert into " + source_.table +
                    " needs transactions, which the data source does not have");
    if (uint32_t status = TargetKey(insertFields_, keyFields_); status != RDSTATUS_OK)
        return status;
    std::vector<std::string> key;
    for (size_t k : keyFields_)
        key.push_back(insertFields_[k].name);
    const std::string sql =
        rdxc::KeyDelete(dialect_, source_.table, key, [](size_t) { return std::string("?"); });
    if (!Succeeded(delete_.Allocate(dbc_.get()))) return DriverFailure("no statement handle", dbc_);
    if (!Succeeded(SQLPrepare(delete_.get(),
                              reinterpret_cast<SQLCHAR *>(const_cast<char *>(sql.c_str())),
                              SQL_NTS))) {
        const uint32_t status =
            DriverFailure("the delete from " + source_.table + " cannot be prepared", delete_);
        delete_.Free();
        return status;
    }
    return RDSTATUS_OK;
}

// A failure rolls back the transaction and fails the batch as the
// target's: the keys were already checked as values by the insert's arrays.
uint32_t Connection::DeleteKeys(uint32_t first, uint32_t count) {
    if (delete_.get() == SQL_NULL_HANDLE) return RDSTATUS_OK;
    std::vector<ColumnArray> keys(keyFields_.size());
    for (size_t k = 0; k < keyFields_.size(); ++k) {
        const size_t f = keyFields_[k];
        const rdxc::ListField &field = insertFields_[f];
        const ParameterTarget target =
            f < insertTargets_.size() ? insertTargets_[f] : ParameterTarget{};
        size_t bad = 0;
        std::string problem;
        if (uint32_t status = keys[k].FromField(field.field, field.type, first, count, target,
                                                values_, bad, problem);
            status != RDSTATUS_OK)
            return status == RDSTATUS_NOMEMORY
                       ? status
                       : log_.RecordFault("record " + std::to_string(first + bad) + ", field " +
                                          field.name + ": " + problem);
    }
    SQLHSTMT statement = delete_.get();
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
    SQLSetStmtAttr(statement, SQL_ATTR_PARAM_BIND_TYPE,
                   reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN), 0);
    SQLSetStmtAttr(statement, SQL_ATTR_PARAMSET_SIZE,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(count)), 0);
    for (size_t k = 0; k < keys.size(); ++k) {
        ColumnArray &column = keys[k];
        if (!Succeeded(SQLBindParameter(statement, static_cast<SQLUSMALLINT>(k + 1),
                                        SQL_PARAM_INPUT, column.cType(), column.sqlType(),
                                        column.columnSize(), column.digits(), column.data(),
                                        column.width(), column.indicators())))
            return DriverFailure(
                "key field " + insertFields_[keyFields_[k]].name + " cannot be bound", delete_);
    }
    const SQLRETURN result = SQLExecute(statement);
    // No row to delete is no failure.
    if (Succeeded(result) || result == SQL_NO_DATA) {
        SQLFreeStmt(statement, SQL_CLOSE);
        return RDSTATUS_OK;
    }
    const uint32_t status = DriverFailure("the keys of the batch of " + std::to_string(count) +
                                              " records cannot be deleted from " + source_.table,
                                          delete_);
    SQLFreeStmt(statement, SQL_CLOSE);
    EndTransaction(false);
    return status;
}

} // namespace rdodbc
