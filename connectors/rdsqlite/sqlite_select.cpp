// SPDX-License-Identifier: Apache-2.0
// Select and fetch: the statement's result columns laid out in the field
// list, then its rows filled into the list in batches.
#include "sqlite_connection.h"

#include "connector_values.h"
#include "rdx_connector.h"
#include "rdx_field.h"
#include "rdx_status.h"
#include "sql_select.h"
#include "sqlite_dialect.h"
#include "sqlite_types.h"
#include "sqlite_values.h"

namespace rdsqlite {

// Steps the select to its next row; index is the record being filled (for
// the failure text).
uint32_t Connection::Step(uint32_t index) {
    const int result = sqlite3_step(select_.get());
    hasRow_ = result == SQLITE_ROW;
    if (hasRow_) ++rowNumber_;
    if (result == SQLITE_ROW || result == SQLITE_DONE) return RDSTATUS_OK;
    return SqlFailure("row " + std::to_string(rowNumber_ + 1) + " (record " +
                          std::to_string(index) + ") cannot be read",
                      result);
}

uint32_t Connection::SelectText(std::string &sql) {
    return rdxc::SelectText(
        kDialect, Source(), log_, [this] { return NeedTable(); }, sql);
}

// SQLite's integers have 64 bits: a column of them is read as int only
// when every value fits 32 bits, else as numeric(19,0). The select is run
// once as a common table expression whose columns are named by position;
// a text that cannot be one (not a SELECT) keeps the types.
void Connection::WidenIntegers(const std::string &sql, std::vector<rdxc::ColumnType> &types) {
    std::string names, checks;
    for (size_t i = 0; i < types.size(); ++i) {
        const std::string name = "c" + std::to_string(i + 1);
        names += (i > 0 ? "," : "") + name;
        if (types[i].type == RDTYPE_INT)
            checks += (checks.empty() ? "" : ", ") + std::string("max(") + name +
                      " NOT BETWEEN -2147483648 AND 2147483647)";
    }
    if (checks.empty()) return;
    Statement scan;
    const std::string text =
        "WITH rdx_scan(" + names + ") AS (\n" + sql + "\n) SELECT " + checks + " FROM rdx_scan";
    if (sqlite3_prepare_v2(db_, text.c_str(), -1, scan.out(), nullptr) != SQLITE_OK ||
        scan.get() == nullptr || BindKey(scan.get(), select_.get()) != RDSTATUS_OK ||
        sqlite3_step(scan.get()) != SQLITE_ROW)
        return;
    int column = 0;
    for (rdxc::ColumnType &type : types) {
        if (type.type != RDTYPE_INT) continue;
        if (sqlite3_column_int(scan.get(), column++) != 0)
            type = {RDTYPE_NUMERIC, rdxc::kBigintPrecision, 0};
    }
}

uint32_t Connection::Select(uint32_t list, uint32_t *count) {
    *count = 0;
    values_.ReportRounded(log_, source_.database);
    select_.Reset();
    hasRow_ = false;
    rowNumber_ = 0;
    selectedList_ = 0;
    if (uint32_t status = NeedDatabase(); status != RDSTATUS_OK) return status;
    if (uint32_t status = CommitSpan(); status != RDSTATUS_OK) return status;
    std::string sql;
    if (uint32_t status = SelectText(sql); status != RDSTATUS_OK) return status;
    if (int result = sqlite3_prepare_v2(db_, sql.c_str(), -1, select_.out(), nullptr);
        result != SQLITE_OK)
        return SqlFailure("the select cannot be prepared", result);
    if (select_.get() == nullptr) return log_.Fail("the select text holds no statement");
    const int columns = sqlite3_column_count(select_.get());
    if (columns == 0) return log_.Fail("the select text returns no columns");
    if (uint32_t status = BindKey(select_.get()); status != RDSTATUS_OK) return status;
    // The first row decides the types of columns without a declared type.
    if (uint32_t status = Step(0); status != RDSTATUS_OK) return status;
    *count = RDX_COUNT_UNKNOWN; // SQLite does not count ahead
    if (list == 0) return RDSTATUS_OK;
    return SelectInto(list, static_cast<size_t>(columns), [&] {
        std::vector<rdxc::ColumnType> types;
        for (int i = 0; i < columns; ++i) {
            const char *declared = sqlite3_column_decltype(select_.get(), i);
            const int storage = hasRow_ ? sqlite3_column_type(select_.get(), i) : 0;
            types.push_back(FieldTypeOf(declared == nullptr ? "" : declared, storage));
        }
        if (hasRow_) WidenIntegers(sql, types);
        std::vector<rdxc::SelectColumn> described;
        for (int i = 0; i < columns; ++i)
            described.push_back(
                {sqlite3_column_name(select_.get(), i), types[static_cast<size_t>(i)]});
        return described;
    });
}

uint32_t Connection::FillRecord(uint32_t index) {
    for (size_t i = 0; i < selectedFields_.size(); ++i) {
        const rdxc::ListField &field = selectedFields_[i];
        std::string problem;
        const uint32_t status = StoreValue(select_.get(), static_cast<int>(i), field.field,
                                           field.type, index, values_, problem);
        if (status != RDSTATUS_OK) return ColumnFault(i, status, problem);
    }
    return RDSTATUS_OK;
}

uint32_t Connection::Fetch(uint32_t list, uint32_t first, uint32_t count, uint32_t *fetched) {
    *fetched = 0;
    if (select_.get() == nullptr) return log_.Fail("fetch without a select");
    if (list != selectedList_) {
        if (uint32_t status = rdxc::ListFieldsOf(list, selectedFields_); status != RDSTATUS_OK)
            return status;
        if (selectedFields_.size() != static_cast<size_t>(sqlite3_column_count(select_.get())))
            return log_.Fail("the field list does not have the select's columns");
        selectedList_ = list;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (!hasRow_) {
            values_.ReportRounded(log_, source_.database);
            return RDX_END_OF_DATA;
        }
        const uint32_t status = FillRecord(first + i);
        // A row that does not convert is passed over, like a malformed line
        // of a file: the next fetch goes on after it.
        if (uint32_t step = Step(first + i); step != RDSTATUS_OK) return step;
        if (status != RDSTATUS_OK) return status;
        ++*fetched;
    }
    return RDSTATUS_OK;
}

} // namespace rdsqlite
