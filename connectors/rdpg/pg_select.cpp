// SPDX-License-Identifier: Apache-2.0
// Select and fetch through a server-side cursor: the select is declared as
// a cursor in a transaction of its own, its columns described before any
// row is read, and its rows fetched in batches of the caller's size in the
// binary format (in texts when a column's binary form is not known here).
#include "pg_binary.h"
#include "pg_connection.h"
#include "pg_dialect.h"

#include "key_compare.h"
#include "rdx_connector.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"
#include "sql_select.h"

namespace rdpg {
namespace {

constexpr const char *kCursor = "rdpg_cursor";

} // namespace

// Ends the select and its transaction. One whose rows failed on the server
// (a FETCH sent ahead may have failed unread) is rolled back: its error
// belongs to rows the caller did not ask for.
uint32_t Connection::CloseCursor() {
    SettleFetch();
    ahead_.reset();
    rows_.reset();
    nextRow_ = 0;
    if (!cursorOpen_) return RDSTATUS_OK;
    cursorOpen_ = false;
    if (PQtransactionStatus(db_) == PQTRANS_INERROR) return Run("ROLLBACK", PGRES_COMMAND_OK);
    return Run("CLOSE " + std::string(kCursor) + "; COMMIT", PGRES_COMMAND_OK);
}

uint32_t Connection::SelectText(std::string &sql) {
    // The server reads backslashes in strings unless its strings conform.
    const char *standard = PQparameterStatus(db_, "standard_conforming_strings");
    const bool conforming = standard == nullptr || std::string_view(standard) != "off";
    return rdxc::SelectText(
        Dialect(conforming), Source(), log_, [this] { return NeedTable(); }, sql);
}

// The cursor of the select. The incremental value goes as a text of
// unnamed type: the server takes it as a value of the key column's type
// (the one the comparison gives it) and compares values of that type.
uint32_t Connection::Declare(const std::string &sql) {
    const std::string declare = "DECLARE " + std::string(kCursor) + " NO SCROLL CURSOR FOR " + sql;
    if (!incremental_.Filters()) return Run(declare, PGRES_COMMAND_OK);
    const std::string value = rdxc::PortableKeyText(incremental_.from);
    const char *values[] = {value.c_str()};
    Result result(PQexecParams(db_, declare.c_str(), 1, nullptr, values, nullptr, nullptr, 0));
    if (result == nullptr) return ServerFailure("the statement cannot be sent", nullptr);
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK)
        return ServerFailure("the select with the incremental value failed", result.get());
    return RDSTATUS_OK;
}

uint32_t Connection::LayOut(uint32_t list, const PGresult *result) {
    const int columns = PQnfields(result);
    return SelectInto(list, static_cast<size_t>(columns), [&] {
        std::vector<rdxc::SelectColumn> described;
        for (int i = 0; i < columns; ++i)
            described.push_back(
                {PQfname(result, i), FieldTypeOf(PQftype(result, i), PQfmod(result, i))});
        return described;
    });
}

uint32_t Connection::Select(uint32_t list, uint32_t *count) {
    *count = 0;
    values_.ReportRounded(log_, "the select");
    selectedList_ = 0;
    rowNumber_ = 0;
    cursorDone_ = false;
    if (uint32_t status = Ready(); status != RDSTATUS_OK) return status;
    std::string sql;
    if (uint32_t status = SelectText(sql); status != RDSTATUS_OK) return status;
    if (uint32_t status = Run("BEGIN", PGRES_COMMAND_OK); status != RDSTATUS_OK) return status;
    if (uint32_t status = Declare(sql); status != RDSTATUS_OK) {
        Run("ROLLBACK", PGRES_COMMAND_OK);
        return status;
    }
    cursorOpen_ = true;
    Result described(PQdescribePortal(db_, kCursor));
    if (PQresultStatus(described.get()) != PGRES_COMMAND_OK) {
        const uint32_t status = ServerFailure("the select cannot be described", described.get());
        CloseCursor();
        return status;
    }
    const int columns = PQnfields(described.get());
    if (columns == 0) {
        CloseCursor();
        return log_.Fail("the select text returns no columns");
    }
    binary_ = true;
    selectedTypes_.clear();
    for (int i = 0; i < columns; ++i) {
        selectedTypes_.push_back(PQftype(described.get(), i));
        binary_ = binary_ && HasBinaryForm(selectedTypes_.back());
    }
    *count = RDX_COUNT_UNKNOWN; // a cursor does not count ahead
    if (list == 0) return RDSTATUS_OK;
    if (uint32_t status = LayOut(list, described.get()); status != RDSTATUS_OK) {
        CloseCursor();
        return status;
    }
    return RDSTATUS_OK;
}

// Sends the FETCH of the next count rows without waiting for them: the
// server reads them while the caller works on the rows it has.
void Connection::SendFetch(uint32_t count) {
    const std::string sql = "FETCH " + std::to_string(count) + " FROM " + kCursor;
    prefetching_ = PQsendQueryParams(db_, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr,
                                     binary_ ? 1 : 0) == 1;
    aheadCount_ = count;
}

// Waits for a FETCH sent ahead and keeps its result for the next rows:
// before any other statement on the connection.
void Connection::SettleFetch() {
    if (!prefetching_) return;
    prefetching_ = false;
    ahead_.reset(PQgetResult(db_));
    while (PGresult *more = PQgetResult(db_))
        PQclear(more);
}

// The next rows of the cursor: those fetched ahead, else up to count; none
// left closes it. A full batch sends the next FETCH ahead.
uint32_t Connection::FetchRows(uint32_t count) {
    if (!prefetching_ && ahead_ == nullptr) SendFetch(count);
    SettleFetch();
    rows_ = std::move(ahead_);
    count = aheadCount_;
    nextRow_ = 0;
    if (PQresultStatus(rows_.get()) != PGRES_TUPLES_OK) {
        const uint32_t status = ServerFailure(
            "rows after row " + std::to_string(rowNumber_) + " cannot be read", rows_.get());
        rows_.reset();
        cursorOpen_ = false;
        cursorDone_ = true;
        Run("ROLLBACK", PGRES_COMMAND_OK);
        return status;
    }
    const int rows = PQntuples(rows_.get());
    if (rows == 0) {
        cursorDone_ = true;
        return CloseCursor();
    }
    // Fewer rows than asked for: the cursor is at its end.
    if (static_cast<uint32_t>(rows) == count) SendFetch(count);
    return RDSTATUS_OK;
}

uint32_t Connection::FillRecord(int row, uint32_t index) {
    for (size_t i = 0; i < selectedFields_.size(); ++i) {
        const rdxc::ListField &field = selectedFields_[i];
        const int column = static_cast<int>(i);
        uint32_t status = RDSTATUS_OK;
        std::string problem;
        if (PQgetisnull(rows_.get(), row, column)) {
            status = RDFieldSetNull(field.field, index, 1);
        } else {
            const std::string_view bytes(
                PQgetvalue(rows_.get(), row, column),
                static_cast<size_t>(PQgetlength(rows_.get(), row, column)));
            status = StoreValue(selectedTypes_[i], !binary_, bytes, field.field, field.type, index,
                                values_, problem);
        }
        if (status != RDSTATUS_OK) return ColumnFault(i, status, problem);
    }
    return RDSTATUS_OK;
}

uint32_t Connection::Fetch(uint32_t list, uint32_t first, uint32_t count, uint32_t *fetched) {
    *fetched = 0;
    if (!cursorOpen_ && rows_ == nullptr && !cursorDone_)
        return log_.Fail("fetch without a select");
    if (list != selectedList_) {
        if (uint32_t status = rdxc::ListFieldsOf(list, selectedFields_); status != RDSTATUS_OK)
            return status;
        if (selectedFields_.size() != selectedTypes_.size())
            return log_.Fail("the field list does not have the select's columns");
        selectedList_ = list;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (rows_ == nullptr || nextRow_ >= PQntuples(rows_.get())) {
            if (!cursorDone_)
                if (uint32_t status = FetchRows(count - i); status != RDSTATUS_OK) return status;
            if (cursorDone_) {
                values_.ReportRounded(log_, "the select");
                return RDX_END_OF_DATA;
            }
        }
        ++rowNumber_;
        // A row that does not convert is passed over, like a malformed line
        // of a file: the next fetch goes on after it.
        const uint32_t status = FillRecord(nextRow_++, first + i);
        if (status != RDSTATUS_OK) return status;
        ++*fetched;
    }
    return RDSTATUS_OK;
}

} // namespace rdpg
