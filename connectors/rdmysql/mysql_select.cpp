// SPDX-License-Identifier: Apache-2.0
// Select and fetch: the statement's result streamed from the server row by
// row (mysql_use_result: the client holds one row whatever the result's
// size), its columns laid out in the field list, its rows filled into the
// list in batches.
#include "mysql_connection.h"
#include "mysql_dialect.h"

#include "rdx_connector.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"
#include "rdx_stream.h"
#include "sql_select.h"

#include <limits>

namespace rdmysql {

uint32_t Connection::Select(uint32_t list, uint32_t *count) {
    *count = 0;
    values_.ReportRounded(log_, "the select");
    rowNumber_ = 0;
    if (uint32_t status = Ready(); status != RDSTATUS_OK) return status;
    std::string sql;
    if (uint32_t status = rdxc::SelectText(
            kDialect, Source(), log_, [this] { return NeedTable(); }, sql);
        status != RDSTATUS_OK)
        return status;
    if (mysql_real_query(db_, sql.data(), sql.size()) != 0)
        return ServerFailure("the select failed");
    result_ = mysql_use_result(db_);
    if (result_ == nullptr) {
        if (mysql_field_count(db_) == 0) return log_.Fail("the select text returns no columns");
        return ServerFailure("the select's rows cannot be read");
    }
    const unsigned columns = mysql_num_fields(result_);
    const MYSQL_FIELD *fields = mysql_fetch_fields(result_);
    readColumns_.clear();
    for (unsigned c = 0; c < columns; ++c)
        readColumns_.push_back(ReadColumnOf(fields[c]));
    *count = RDX_COUNT_UNKNOWN; // the rows are counted as they come
    if (list == 0) return RDSTATUS_OK;
    return SelectInto(list, columns, [&] {
        std::vector<rdxc::SelectColumn> described;
        for (unsigned c = 0; c < columns; ++c)
            described.push_back(
                {std::string(fields[c].name, fields[c].name_length), readColumns_[c].type});
        return described;
    });
}

uint32_t Connection::FillRecord(uint32_t index) {
    for (size_t c = 0; c < selectedFields_.size(); ++c) {
        const rdxc::ListField &field = selectedFields_[c];
        const char *value = row_[c];
        if (value == nullptr) {
            if (uint32_t status = RDFieldSetNull(field.field, index, 1); status != RDSTATUS_OK)
                return ColumnFault(c, status, "a null does not go into the field");
            continue;
        }
        const unsigned long length = lengths_[c];
        if (length > std::numeric_limits<uint32_t>::max())
            return ColumnFault(c, RDSTATUS_NOFIT, "the value is longer than a field holds");
        uint32_t status = RDSTATUS_OK;
        std::string problem;
        if (field.type == RDTYPE_BINARY || field.type == RDTYPE_TEXT) {
            status =
                RDFieldSetBytes(field.field, index,
                                field.type == RDTYPE_BINARY ? RDKIND_BINARY : RDCHARSET_INTERCHANGE,
                                value, static_cast<uint32_t>(length));
        } else {
            // Numbers and date-times come as the server's texts, which the
            // kit reads strictly: a zero date or a number too wide for the
            // field is the row's fault.
            const std::string_view text(value, length);
            status = rdxc::TextToValue(field.field, field.type, index, text, &values_);
            if (status != RDSTATUS_OK && status != RDSTATUS_NOMEMORY) {
                problem = rdxc::ValueProblem(field.field, field.type, text, status);
                if (problem.empty())
                    problem = "\"" + std::string(text.substr(0, 80)) + "\" does not convert to a " +
                              rdxc::ColumnTypeName({field.type, 0, 0});
            }
        }
        if (status != RDSTATUS_OK) return ColumnFault(c, status, problem);
    }
    return RDSTATUS_OK;
}

uint32_t Connection::Fetch(uint32_t list, uint32_t first, uint32_t count, uint32_t *fetched) {
    *fetched = 0;
    if (result_ == nullptr)
        return selectEnded_ ? RDX_END_OF_DATA : log_.Fail("fetch without a select");
    if (list != selectedList_) {
        if (uint32_t status = rdxc::ListFieldsOf(list, selectedFields_); status != RDSTATUS_OK)
            return status;
        if (selectedFields_.size() != readColumns_.size())
            return log_.Fail("the field list does not have the select's columns");
        selectedList_ = list;
    }
    for (uint32_t i = 0; i < count; ++i) {
        row_ = mysql_fetch_row(result_);
        if (row_ == nullptr) {
            // The end of the rows, or the server went away while sending.
            const uint32_t status =
                mysql_errno(db_) != 0
                    ? ServerFailure("row " + std::to_string(rowNumber_ + 1) + " cannot be read")
                    : RDX_END_OF_DATA;
            values_.ReportRounded(log_, "the select");
            CloseResult();
            selectEnded_ = status == RDX_END_OF_DATA;
            return status;
        }
        lengths_ = mysql_fetch_lengths(result_);
        ++rowNumber_;
        // A row that does not convert is passed over: the next fetch goes
        // on after it.
        if (uint32_t status = FillRecord(first + i); status != RDSTATUS_OK) return status;
        ++*fetched;
    }
    return RDSTATUS_OK;
}

} // namespace rdmysql
