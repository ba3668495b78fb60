// SPDX-License-Identifier: Apache-2.0
// Insert: one prepared statement for the list's layout, executed once per
// batch with column-wise parameter arrays, inside one transaction. A record
// that fails rolls the whole batch back and the batch is reported as not
// done, naming the failing record when the driver tells it: as a record
// fault when the driver refused a record for its values.
#include "odbc_connection.h"

#include "odbc_diagnostics.h"
#include "rdx_field.h"
#include "rdx_status.h"
#include "sql_write.h"

#include <algorithm>

namespace rdodbc {
namespace {

// Not a status a driver writes: marks entries the driver left alone.
constexpr SQLUSMALLINT kUntouched = 0xFFFF;

} // namespace

// A number field into a column that keeps values as they are bound.
bool Connection::ByValue(size_t field) const {
    const uint32_t type = insertFields_[field].type;
    return field < insertTargets_.size() && insertTargets_[field].byValue &&
           (type == RDTYPE_NUMERIC || type == RDTYPE_CURRENCY);
}

uint32_t Connection::PrepareInsert(uint32_t list) {
    if (uint32_t status = NeedTable(); status != RDSTATUS_OK) return status;
    if (uint32_t status = rdxc::ListFieldsOf(list, insertFields_); status != RDSTATUS_OK)
        return status;
    if (insertFields_.empty()) return Fail("the field list has no fields");
    // Known by its fields' names and types, not by the list: a copy that
    // reads its next batch into a second list of the same fields keeps the
    // prepared insert (the fields are bound from insertFields_ each time).
    std::string key;
    for (const rdxc::ListField &field : insertFields_)
        key += std::to_string(field.type) + " " + field.name + "\n";
    if (insert_.get() != SQL_NULL_HANDLE && key == insertKey_) return RDSTATUS_OK;
    insertKey_.clear();
    if (uint32_t status = CheckLayout(); status != RDSTATUS_OK) return status;
    std::vector<std::string> columns, values;
    parameterFields_.clear();
    for (size_t i = 0; i < insertFields_.size(); ++i) {
        columns.push_back(insertFields_[i].name);
        const bool byValue = ByValue(i);
        values.push_back(byValue ? "COALESCE(?, ?, ?)" : "?");
        parameterFields_.insert(parameterFields_.end(), byValue ? 3 : 1, i);
    }
    const std::string sql = dialect_.Insert(source_.table, columns, values);
    if (!Succeeded(insert_.Allocate(dbc_.get()))) return DriverFailure("no statement handle", dbc_);
    if (!Succeeded(SQLPrepare(insert_.get(),
                              reinterpret_cast<SQLCHAR *>(const_cast<char *>(sql.c_str())),
                              SQL_NTS))) {
        const uint32_t status =
            DriverFailure("the insert into " + source_.table + " cannot be prepared", insert_);
        insert_.Free();
        return status;
    }
    if (uint32_t status = PrepareDelete(); status != RDSTATUS_OK) {
        insert_.Free();
        return status;
    }
    insertKey_ = key;
    return RDSTATUS_OK;
}

// Finds the record a driver did not mark in the status array by running
// the batch's records one at a time on a rolled-back transaction; the
// caller rolls them back too. count when every record goes in alone.
size_t Connection::ProbeFailure(size_t count) {
    SQLHSTMT statement = insert_.get();
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
    SQLSetStmtAttr(statement, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN{1}), 0);
    SQLSetStmtAttr(statement, SQL_ATTR_PARAM_STATUS_PTR, nullptr, 0);
    SQLSetStmtAttr(statement, SQL_ATTR_PARAMS_PROCESSED_PTR, nullptr, 0);
    for (size_t r = 0; r < count; ++r) {
        for (size_t p = 0; p < parameters_.size(); ++p) {
            ColumnArray &column = parameters_[p];
            char *value =
                static_cast<char *>(column.data()) + r * static_cast<size_t>(column.width());
            if (!Succeeded(SQLBindParameter(statement, static_cast<SQLUSMALLINT>(p + 1),
                                            SQL_PARAM_INPUT, column.cType(), column.sqlType(),
                                            column.columnSize(), column.digits(), value,
                                            column.width(), column.indicators() + r)))
                return count;
        }
        if (!Succeeded(SQLExecute(statement))) return r;
    }
    return count;
}

uint32_t Connection::Insert(uint32_t list, uint32_t first, uint32_t count, uint32_t *done) {
    *done = 0;
    if (count == 0) return RDSTATUS_OK;
    if (uint32_t status = PrepareInsert(list); status != RDSTATUS_OK) return status;
    if (uint32_t status = rdxc::NullKey(insertFields_, keyFields_, first, count, log_);
        status != RDSTATUS_OK)
        return status;
    const std::string ofBatch = " of the batch of " + std::to_string(count) + " records";
    parameters_.assign(parameterFields_.size(), ColumnArray());
    for (size_t p = 0; p < parameters_.size();) {
        const size_t f = parameterFields_[p];
        const rdxc::ListField &field = insertFields_[f];
        const ParameterTarget target =
            f < insertTargets_.size() ? insertTargets_[f] : ParameterTarget{};
        size_t bad = 0;
        std::string problem;
        const bool byValue = ByValue(f);
        const uint32_t status =
            byValue ? ColumnArray::SplitFromField(field.field, field.type, first, count, target,
                                                  values_, &parameters_[p], bad, problem)
                    : parameters_[p].FromField(field.field, field.type, first, count, target,
                                               values_, bad, problem);
        p += byValue ? 3 : 1;
        if (status != RDSTATUS_OK)
            return status == RDSTATUS_NOMEMORY
                       ? status
                       : log_.RecordFault("record " + std::to_string(first + bad) + ", field " +
                                          field.name + ": " + problem + "; nothing" + ofBatch +
                                          " was written");
    }
    // The batch's keys go first, in the insert's transaction.
    if (uint32_t status = DeleteKeys(first, count); status != RDSTATUS_OK) return status;
    SQLHSTMT statement = insert_.get();
    paramStatus_.assign(count, kUntouched);
    SQLULEN processed = 0;
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
    SQLSetStmtAttr(statement, SQL_ATTR_PARAM_BIND_TYPE,
                   reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN), 0);
    if (!Succeeded(SQLSetStmtAttr(statement, SQL_ATTR_PARAMSET_SIZE,
                                  reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(count)), 0)))
        return DriverFailure(
            "the driver takes no array of " + std::to_string(count) + " parameter sets", insert_);
    SQLSetStmtAttr(statement, SQL_ATTR_PARAM_STATUS_PTR, paramStatus_.data(), 0);
    SQLSetStmtAttr(statement, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0);
    for (size_t p = 0; p < parameters_.size(); ++p) {
        ColumnArray &column = parameters_[p];
        if (!Succeeded(SQLBindParameter(statement, static_cast<SQLUSMALLINT>(p + 1),
                                        SQL_PARAM_INPUT, column.cType(), column.sqlType(),
                                        column.columnSize(), column.digits(), column.data(),
                                        column.width(), column.indicators())))
            return DriverFailure(
                "field " + insertFields_[parameterFields_[p]].name + " cannot be bound", insert_);
    }
    const SQLRETURN result = SQLExecute(statement);
    // A driver may go on after a failing set and say so only in the
    // status array.
    size_t failed = count, errors = 0;
    bool succeededBefore = false;
    for (size_t r = 0; r < count; ++r) {
        if (paramStatus_[r] == SQL_PARAM_ERROR) {
            if (errors++ == 0) failed = r;
        } else if (failed == count && (paramStatus_[r] == SQL_PARAM_SUCCESS ||
                                       paramStatus_[r] == SQL_PARAM_SUCCESS_WITH_INFO)) {
            succeededBefore = true;
        }
    }
    // A driver that sends the sets together may mark all of them failed:
    // several errors with no success before the first name no record.
    const bool markedTogether = errors > 1 && !succeededBefore;
    if (Succeeded(result) && failed == count && (processed == 0 || processed == count)) {
        Note(result, insert_);
        // A constraint checked at the commit refuses the batch there.
        if (transactions_ && !Succeeded(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_COMMIT))) {
            const std::vector<Diagnostic> records = DiagnosticsOf(SQL_HANDLE_DBC, dbc_.get());
            EndTransaction(false);
            return WriteFailure(
                "the batch of " + std::to_string(count) + " records cannot be committed to " +
                    source_.table + ": " +
                    (records.empty() ? "the driver says nothing more" : JoinDiagnostics(records)),
                records);
        }
        *done = count;
        return RDSTATUS_OK;
    }
    const std::vector<Diagnostic> records = DiagnosticsOf(SQL_HANDLE_STMT, statement);
    const std::string diagnostics = JoinDiagnostics(records);
    // A driver that stops at the failing set may not mark it, or marks the
    // whole batch: it is found by trying the records alone, all rolled back
    // below.
    if (!Succeeded(result) && transactions_ &&
        (markedTogether ||
         (failed == count && std::all_of(paramStatus_.begin(), paramStatus_.end(),
                                         [](SQLUSMALLINT s) { return s == kUntouched; }))) &&
        EndTransaction(false) == RDSTATUS_OK)
        failed = ProbeFailure(count);
    const std::string where =
        failed < count ? "record " + std::to_string(first + failed) : "a record" + ofBatch;
    std::string text = where + " cannot be inserted into " + source_.table + ": " +
                       (diagnostics.empty() ? "the driver says nothing more" : diagnostics);
    SQLFreeStmt(statement, SQL_CLOSE);
    const bool rolledBack = transactions_ && EndTransaction(false) == RDSTATUS_OK;
    text += rolledBack ? "; the batch of " + std::to_string(count) + " records was rolled back"
                       : "; the data source cannot roll back: records before it may be written";
    // Records kept without a rollback are no record's fault to skip past.
    return rolledBack ? WriteFailure(text, records) : Fail(text);
}

} // namespace rdodbc
