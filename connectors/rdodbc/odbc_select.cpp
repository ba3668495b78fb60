// SPDX-License-Identifier: Apache-2.0
// Select and fetch: the result columns described and laid out in the field
// list, bound column-wise to arrays of one fetch batch each, and the rowsets
// handed out record by record.
#include "odbc_connection.h"

#include "datetime_text.h"
#include "key_compare.h"
#include "property_value.h"
#include "rdx_connector.h"
#include "rdx_field.h"
#include "rdx_fieldlist.h"
#include "rdx_status.h"
#include "sql_select.h"

#include <algorithm>

namespace rdodbc {
namespace {

// Bounds of a rowset: rows per fetch, and the bytes of all its arrays.
constexpr uint32_t kMostRows = 10000;
constexpr size_t kMostRowsetBytes = size_t{64} << 20;

SQLCHAR *Chars(const std::string &text) {
    return reinterpret_cast<SQLCHAR *>(const_cast<char *>(text.c_str()));
}

} // namespace

void Connection::CloseSelect() {
    select_.Free();
    described_.clear();
    rowset_.clear();
    rowStatus_.clear();
    selectedList_ = 0;
    rowsInSet_ = nextRow_ = 0;
    endOfData_ = false;
    rowNumber_ = 0;
}

uint32_t Connection::SelectText(std::string &sql, std::vector<std::string> &columns) {
    return rdxc::SelectText(
        dialect_, Source(), log_, [this] { return NeedTable(); }, sql, &columns);
}

// Each OrderBy column is one that the select returns: some databases take a
// quoted name that matches no column for a text and order by nothing.
uint32_t Connection::CheckOrderColumns(const std::vector<std::string> &columns) {
    for (const std::string &column : columns) {
        bool found = false;
        for (const Described &described : described_)
            found = found || rdxc::SameWord(described.name, column);
        if (!found)
            return Fail("OrderBy names the column \"" + column +
                        "\", which the select does not return");
    }
    return RDSTATUS_OK;
}

namespace {

// The incremental value as the driver is to read it: a decimal text (which
// also compares with a double column), or a timestamp bound as the
// connector writes date-times, so that the driver stores and compares it
// the same way (a text of its own form for some). The driver converts it to
// the key column's type. The parameter lives until the select is run.
struct KeyParameter {
    std::string text;
    SQL_TIMESTAMP_STRUCT stamp{};
};

bool TimestampOf(const std::string &text, SQL_TIMESTAMP_STRUCT &stamp) {
    RDDatetime when{};
    RDDatetimeParts parts{};
    if (!rdxc::ParseDatetime(rdxc::PortableKeyText(text), when) || when.date == RDDT_ABSENT ||
        RDDatetimeGetParts(&when, 0, &parts) != RDSTATUS_OK)
        return false;
    stamp.year = static_cast<SQLSMALLINT>(parts.year);
    stamp.month = static_cast<SQLUSMALLINT>(parts.month);
    stamp.day = static_cast<SQLUSMALLINT>(parts.day);
    if (when.ticks != RDDT_ABSENT) {
        stamp.hour = static_cast<SQLUSMALLINT>(parts.hour);
        stamp.minute = static_cast<SQLUSMALLINT>(parts.minute);
        stamp.second = static_cast<SQLUSMALLINT>(parts.second);
        stamp.fraction = static_cast<SQLUINTEGER>(parts.hundredth) * 10000000u;
    }
    return true;
}

SQLRETURN BindKey(SQLHSTMT statement, KeyParameter &key) {
    const std::string &text = key.text;
    if (!rdxc::TextIsDecimal(text) && !rdxc::TextIsFloat(text) && TimestampOf(text, key.stamp))
        return SQLBindParameter(statement, 1, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP,
                                SQL_TYPE_TIMESTAMP, 22, 2, &key.stamp, sizeof key.stamp, nullptr);
    SQLSMALLINT type = SQL_VARCHAR, digits = 0;
    if (rdxc::TextIsDecimal(text) || rdxc::TextIsFloat(text)) {
        type = rdxc::TextIsDecimal(text) ? SQL_DECIMAL : SQL_DOUBLE;
        const size_t point = text.find('.');
        digits = point == std::string::npos ? 0 : static_cast<SQLSMALLINT>(text.size() - point - 1);
    }
    return SQLBindParameter(statement, 1, SQL_PARAM_INPUT, SQL_C_CHAR, type, text.size(), digits,
                            key.text.data(), static_cast<SQLLEN>(text.size()), nullptr);
}

} // namespace

uint32_t Connection::Select(uint32_t list, uint32_t perFetch, uint32_t *count) {
    *count = 0;
    CloseSelect();
    if (uint32_t status = NeedConnection(); status != RDSTATUS_OK) return status;
    std::string sql;
    std::vector<std::string> orderColumns;
    if (uint32_t status = SelectText(sql, orderColumns); status != RDSTATUS_OK) return status;
    if (!Succeeded(select_.Allocate(dbc_.get()))) return DriverFailure("no statement handle", dbc_);
    KeyParameter key{incremental_.from};
    if (incremental_.Filters() && !Succeeded(BindKey(select_.get(), key))) {
        const uint32_t status = DriverFailure("the incremental value cannot be bound", select_);
        CloseSelect();
        return status;
    }
    const SQLRETURN result = SQLExecDirect(select_.get(), Chars(sql), SQL_NTS);
    if (!Succeeded(result)) {
        const uint32_t status = DriverFailure("the select failed", select_);
        CloseSelect();
        return status;
    }
    Note(result, select_);
    SQLSMALLINT columns = 0;
    if (!Succeeded(SQLNumResultCols(select_.get(), &columns)) || columns <= 0) {
        CloseSelect();
        return Fail("the select text returns no columns");
    }
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(columns); ++i) {
        SQLCHAR name[256] = {};
        SQLSMALLINT nameLength = 0, nullable = 0;
        Described column;
        if (!Succeeded(SQLDescribeCol(select_.get(), i, name, sizeof name, &nameLength,
                                      &column.sqlType, &column.size, &column.digits, &nullable))) {
            const uint32_t status =
                DriverFailure("column " + std::to_string(i) + " cannot be described", select_);
            CloseSelect();
            return status;
        }
        column.name.assign(reinterpret_cast<const char *>(name),
                           std::clamp<SQLSMALLINT>(nameLength, 0, sizeof name - 1));
        // SQLite's driver describes NUMERIC(P,S) as a float and DECIMAL
        // BLOB as a text: the type's name tells the numeric.
        rdxc::ColumnType named;
        bool byValue = false;
        if (dialect_.sqliteSource && NamedNumeric(select_.get(), i, named, byValue)) {
            column.sqlType = SQL_NUMERIC;
            column.size = named.precision;
            column.digits = static_cast<SQLSMALLINT>(named.scale);
        }
        described_.push_back(std::move(column));
    }
    if (uint32_t status = CheckOrderColumns(orderColumns); status != RDSTATUS_OK) {
        CloseSelect();
        return status;
    }
    // The key too, for the same reason: filtered by a text, a select
    // would return every row or none.
    const auto isKey = [&](const Described &d) { return rdxc::SameWord(d.name, incremental_.key); };
    if (!incremental_.key.empty() && std::none_of(described_.begin(), described_.end(), isKey)) {
        CloseSelect();
        return Fail("IncrementalKey names the column \"" + incremental_.key +
                    "\", which the select does not return");
    }
    perFetch_ = perFetch;
    *count = RDX_COUNT_UNKNOWN; // drivers do not reliably count ahead
    if (list == 0) return RDSTATUS_OK;
    if (uint32_t status = rdxc::ListFieldsOf(list, selectedFields_); status != RDSTATUS_OK)
        return status;
    if (selectedFields_.empty()) {
        for (const Described &column : described_) {
            uint32_t field = 0;
            if (uint32_t status = rdxc::AppendListField(
                    list, column.name, FieldTypeOf(column.sqlType, column.size, column.digits),
                    &field);
                status != RDSTATUS_OK)
                return status;
        }
    }
    return BindSelect(list);
}

// Binds one array per column, of the list's field types, sized to the
// fetch batch (the list's records when the select gave none).
uint32_t Connection::BindSelect(uint32_t list) {
    if (uint32_t status = rdxc::ListFieldsOf(list, selectedFields_); status != RDSTATUS_OK)
        return status;
    if (selectedFields_.size() != described_.size())
        return Fail("the field list has " + std::to_string(selectedFields_.size()) +
                    " fields, the select " + std::to_string(described_.size()) + " columns");
    uint32_t rows = perFetch_ != 0 ? perFetch_ : RDFieldlistGetRecordCount(list);
    rows = std::clamp<uint32_t>(rows, 1, kMostRows);
    // Measured with one row, then as many rows as the byte bound allows.
    size_t rowBytes = 0;
    rowset_.assign(described_.size(), ColumnArray());
    for (size_t i = 0; i < described_.size(); ++i) {
        rowset_[i].ForResult(selectedFields_[i].type, described_[i].sqlType, described_[i].size, 1);
        rowBytes += rowset_[i].BytesPerRow();
    }
    rows = static_cast<uint32_t>(
        std::clamp<size_t>(kMostRowsetBytes / std::max<size_t>(rowBytes, 1), 1, rows));
    SQLFreeStmt(select_.get(), SQL_UNBIND);
    SQLSetStmtAttr(select_.get(), SQL_ATTR_ROW_BIND_TYPE,
                   reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
    SQLSetStmtAttr(select_.get(), SQL_ATTR_ROW_ARRAY_SIZE,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(rows)), 0);
    // A driver may hold fewer rows per fetch than asked: take its size.
    SQLULEN granted = 1;
    if (!Succeeded(SQLGetStmtAttr(select_.get(), SQL_ATTR_ROW_ARRAY_SIZE, &granted, 0, nullptr)) ||
        granted == 0 || granted > rows)
        granted = 1;
    rowStatus_.assign(granted, SQL_ROW_NOROW);
    SQLSetStmtAttr(select_.get(), SQL_ATTR_ROW_STATUS_PTR, rowStatus_.data(), 0);
    SQLSetStmtAttr(select_.get(), SQL_ATTR_ROWS_FETCHED_PTR, &rowsInSet_, 0);
    for (size_t i = 0; i < described_.size(); ++i) {
        ColumnArray &column = rowset_[i];
        column.ForResult(selectedFields_[i].type, described_[i].sqlType, described_[i].size,
                         granted);
        const SQLRETURN result =
            SQLBindCol(select_.get(), static_cast<SQLUSMALLINT>(i + 1), column.cType(),
                       column.data(), column.width(), column.indicators());
        if (!Succeeded(result))
            return DriverFailure("column " + std::to_string(i + 1) + " (" +
                                     selectedFields_[i].name + ") cannot be bound",
                                 select_);
    }
    selectedList_ = list;
    return RDSTATUS_OK;
}

uint32_t Connection::NextRowset() {
    rowsInSet_ = nextRow_ = 0;
    std::fill(rowStatus_.begin(), rowStatus_.end(), SQL_ROW_NOROW);
    const SQLRETURN result = SQLFetch(select_.get());
    if (result == SQL_NO_DATA) {
        endOfData_ = true;
        return RDSTATUS_OK;
    }
    if (!Succeeded(result)) {
        // Nothing after this can be trusted: the select ends here.
        endOfData_ = true;
        rowsInSet_ = 0;
        return DriverFailure(
            "the rows after row " + std::to_string(rowNumber_) + " cannot be fetched", select_);
    }
    Note(result, select_);
    if (rowsInSet_ == 0) endOfData_ = true;
    return RDSTATUS_OK;
}

uint32_t Connection::FillRecord(size_t row, uint32_t index) {
    if (rowStatus_[row] == SQL_ROW_ERROR)
        return log_.RecordFault("row " + std::to_string(rowNumber_) + " (record " +
                                std::to_string(index) + ") cannot be read");
    for (size_t i = 0; i < selectedFields_.size(); ++i) {
        const rdxc::ListField &field = selectedFields_[i];
        std::string problem;
        const uint32_t status =
            rowset_[i].Store(row, field.field, field.type, index, values_, problem);
        if (status != RDSTATUS_OK) return ColumnFault(i, status, problem, false);
    }
    return RDSTATUS_OK;
}

uint32_t Connection::Fetch(uint32_t list, uint32_t first, uint32_t count, uint32_t *fetched) {
    *fetched = 0;
    if (select_.get() == SQL_NULL_HANDLE) return Fail("fetch without a select");
    if (list != selectedList_) {
        // Another list takes over only between rowsets.
        if (nextRow_ < rowsInSet_)
            return Fail("the field list changed in the middle of a fetch batch");
        if (uint32_t status = BindSelect(list); status != RDSTATUS_OK) return status;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (nextRow_ >= rowsInSet_) {
            if (!endOfData_)
                if (uint32_t status = NextRowset(); status != RDSTATUS_OK) return status;
            if (endOfData_ && nextRow_ >= rowsInSet_) {
                values_.ReportRounded(log_, "the select");
                return RDX_END_OF_DATA;
            }
        }
        const size_t row = nextRow_++;
        ++rowNumber_;
        // A row that does not convert is passed over: the next fetch goes
        // on after it.
        if (uint32_t status = FillRecord(row, first + i); status != RDSTATUS_OK) return status;
        ++*fetched;
    }
    return RDSTATUS_OK;
}

} // namespace rdodbc
