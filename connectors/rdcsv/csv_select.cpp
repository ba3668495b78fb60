// SPDX-License-Identifier: Apache-2.0
// Select and fetch: the file's columns laid out in the field list, then its
// records filled into the list in batches.
#include "connector_records.h"
#include "csv_connection.h"
#include "datetime_text.h"
#include "property_value.h"
#include "sql_select.h"

#include "rdx_connector.h"
#include "rdx_field.h"
#include "rdx_fieldlist.h"
#include "rdx_status.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace rdcsv {
namespace {

constexpr const char *kTypeWords[] = {"",          "an integer",  "a float", "a currency amount",
                                      "a numeric", "a date-time", "a text",  "a binary value"};

// Whether values of type are read from ASCII characters only, so that a
// UTF-8 field of the type needs no check of its bytes before it is read: a
// byte outside ASCII fails the reading, and only then are the bytes looked
// at, for the message. Date-times read by a pattern, currency amounts (the
// library's reader) and texts are checked first.
bool ReadsAsciiOnly(uint32_t type, const rdxc::ValueRules &rules) {
    switch (type) {
    case RDTYPE_INT:
    case RDTYPE_FLOAT:
    case RDTYPE_NUMERIC:
    case RDTYPE_BINARY:
        return true;
    case RDTYPE_DATETIME:
        return rules.pattern().empty();
    default:
        return false;
    }
}

std::string Describe(uint32_t type) {
    return type <= RDTYPE_BINARY ? kTypeWords[type] : "a value";
}

std::string FieldName(size_t index, const std::string &name) {
    std::string text = "field " + std::to_string(index + 1);
    return name.empty() ? text : text + " (" + name + ")";
}

} // namespace

uint32_t Connection::LineFailure(uint64_t line, const std::string &what, uint32_t detail) {
    return log_.Fail("line " + std::to_string(line) + " of " + settings_.path + ": " + what,
                     detail);
}

// The reader stands right after the bad record: the next fetch goes on
// there. A record longer than the limit is kept cut to its first bytes.
uint32_t Connection::RecordFailure(const std::string &what, uint32_t detail) {
    const Reader &reader = *reader_;
    rejectLine_ = reader.Line();
    const uint64_t length = reader.RecordLength();
    if (!reader.RecordBytes(length > kMaxRecordBytes ? kRejectCutBytes : length, rejectRecord_))
        rejectRecord_.clear(); // the file shrank under the reader
    return log_.RecordFault(
        "line " + std::to_string(rejectLine_) + " of " + settings_.path + ": " + what, detail);
}

uint32_t Connection::GetReject(uint32_t number, uint32_t field) {
    if (number == rdxc::kRejectRecord) return rdxc::PutBytes(field, rejectRecord_);
    return rdxc::PutInt(field, static_cast<int32_t>(std::min<uint64_t>(rejectLine_, INT32_MAX)));
}

uint32_t Connection::OpenReader(std::unique_ptr<Reader> &reader) {
    std::FILE *file = std::fopen(settings_.path.c_str(), "rb");
    if (file == nullptr)
        return log_.Fail("the file " + settings_.path +
                         " cannot be opened: " + std::strerror(errno));
    reader.reset(new (std::nothrow) Reader(file, settings_.dialect, kMaxRecordBytes));
    if (!reader) {
        std::fclose(file);
        return RDSTATUS_NOMEMORY;
    }
    return RDSTATUS_OK;
}

// Names and types of the columns, from the declared list, the header and
// the first records; leaves the reader at the first data record.
uint32_t Connection::ReadColumns(Reader &reader, std::vector<Column> &columns) {
    std::string error;
    if (!ParseColumnList(settings_.columns, columns, error)) return log_.Fail(error);
    const bool declared = !columns.empty();
    std::vector<std::string> names;
    if (settings_.header) {
        const Reader::Result result = reader.Next();
        if (result == Reader::Result::Error) return LineFailure(reader.Line(), reader.Error(), 0);
        for (size_t i = 0; result == Reader::Result::Record && i < reader.FieldCount(); ++i) {
            bool valid = true;
            names.emplace_back();
            if (uint32_t status = charset_.ToUtf8(reader.Field(i), names.back(), valid);
                status != RDSTATUS_OK)
                return status;
            if (!valid)
                return LineFailure(reader.Line(),
                                   "the header's " + FieldName(i, "") +
                                       " holds bytes that are not valid in character set " +
                                       CharsetText(settings_.charset),
                                   0);
        }
        if (declared && !names.empty() && names.size() != columns.size())
            return log_.Fail("the header of " + settings_.path + " names " +
                             std::to_string(names.size()) + " columns, the declared list " +
                             std::to_string(columns.size()));
    }
    inferredFrom_ = 0;
    if (!declared) {
        TypeInference inference(&values_.pattern());
        size_t count = names.size();
        std::string text;
        for (int64_t row = 0; settings_.inferAll || row < settings_.inferRows; ++row) {
            const Reader::Result result = reader.Next();
            if (result == Reader::Result::End) break;
            ++inferredFrom_;
            if (result == Reader::Result::Error) continue; // reported when fetched
            if (count == 0) count = reader.FieldCount();
            for (size_t i = 0; i < reader.FieldCount() && i < count; ++i) {
                bool valid = true;
                if (reader.Field(i).empty()) continue;
                if (charset_.ToUtf8(reader.Field(i), text, valid) == RDSTATUS_OK && valid)
                    inference.Add(i, text);
            }
        }
        if (count == 0)
            return log_.Fail("the file " + settings_.path +
                             " is empty and no columns are declared (property Columns)");
        columns.resize(count);
        for (size_t i = 0; i < count; ++i)
            columns[i].type = inference.Result(i);
        if (inferredFrom_ == 0) inferredFrom_ = 1; // a file without records: nothing to name
        if (!reader.Rewind() || (settings_.header && reader.Next() != Reader::Result::Record))
            return log_.Fail("the file " + settings_.path + " cannot be read again");
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name.empty())
            columns[i].name = i < names.size() ? names[i] : "Column" + std::to_string(i + 1);
    }
    return RDSTATUS_OK;
}

// An empty list gets one field per column; a list with fields keeps them,
// one per column, and their types.
uint32_t Connection::LayOut(uint32_t list, const std::vector<Column> &columns) {
    return rdxc::SelectFileFields(list, columns, log_, selectedFields_);
}

uint32_t Connection::Select(uint32_t list, uint32_t *count) {
    *count = 0;
    values_.ReportRounded(log_, settings_.path);
    rejectRecord_.clear();
    rejectLine_ = 0;
    reader_.reset();
    selectedList_ = 0;
    std::unique_ptr<Reader> reader;
    if (uint32_t status = OpenReader(reader); status != RDSTATUS_OK) return status;
    std::vector<Column> columns;
    if (uint32_t status = ReadColumns(*reader, columns); status != RDSTATUS_OK) return status;
    if (uint32_t status = PositionReader(*reader); status != RDSTATUS_OK) return status;
    if (list != 0) {
        if (uint32_t status = LayOut(list, columns); status != RDSTATUS_OK) return status;
    }
    if (uint32_t status = PrepareFilter(list, columns); status != RDSTATUS_OK) return status;
    inferred_.assign(columns.size(), inferredFrom_ != 0);
    reader_ = std::move(reader);
    selectedList_ = list;
    *count = RDX_COUNT_UNKNOWN; // the file is not counted ahead
    return RDSTATUS_OK;
}

uint32_t Connection::CharsetFailure(size_t i, const rdxc::ListField &field) {
    return RecordFailure(FieldName(i, field.name) +
                         " holds bytes that are not valid in character set " +
                         CharsetText(settings_.charset));
}

// The current record into value index of the fields. An unquoted empty
// field is a null value; a quoted one ("") an empty text.
uint32_t Connection::FillRecord(const std::vector<rdxc::ListField> &fields, uint32_t index) {
    const Reader &reader = *reader_;
    if (reader.FieldCount() != fields.size())
        return RecordFailure("the record has " + std::to_string(reader.FieldCount()) + " fields, " +
                             std::to_string(fields.size()) + " are expected");
    const bool utf8 = charset_.IsUtf8();
    for (size_t i = 0; i < fields.size(); ++i) {
        const rdxc::ListField &field = fields[i];
        const std::string_view bytes = reader.Field(i);
        if (bytes.empty() && !(reader.Quoted(i) && field.type == RDTYPE_TEXT)) {
            if (uint32_t status = RDFieldSetNull(field.field, index, 1); status != RDSTATUS_OK)
                return status;
            continue;
        }
        const bool direct = utf8 && ReadsAsciiOnly(field.type, values_);
        std::string_view text = bytes;
        if (!direct) {
            bool valid = true;
            if (uint32_t status = charset_.AsUtf8(bytes, scratch_, text, valid);
                status != RDSTATUS_OK)
                return status;
            if (!valid) return CharsetFailure(i, field);
        }
        if (uint32_t status = rdxc::TextToValue(field.field, field.type, index, text, &values_);
            status != RDSTATUS_OK) {
            if (status == RDSTATUS_NOMEMORY) return status;
            if (direct && !ValidUtf8(bytes)) return CharsetFailure(i, field);
            return RecordFailure(ValueFailure(i, field, text, status), status);
        }
    }
    return RDSTATUS_OK;
}

// Names the field and the value; a date the engine's calendar lacks and a
// number with too many digits as such. A type inferred from the first
// records may not fit a later one: the text says which property to change.
std::string Connection::ValueFailure(size_t i, const rdxc::ListField &field, std::string_view text,
                                     uint32_t status) const {
    std::string problem = rdxc::ValueProblem(field.field, field.type, text, status);
    if (problem.empty()) problem = "\"" + std::string(text) + "\" is not " + Describe(field.type);
    std::string failure = FieldName(i, field.name) + ": " + problem;
    if (i < inferred_.size() && inferred_[i] && !settings_.inferAll)
        failure += "; the column's type " +
                   rdxc::ColumnTypeName(rdxc::FieldColumnType(field.field, field.type)) +
                   " was inferred from the first " + std::to_string(inferredFrom_) +
                   " records: set InferRows higher (or to \"all\"), or declare the column in "
                   "Columns";
    return failure;
}

uint32_t Connection::Fetch(uint32_t list, uint32_t first, uint32_t count, uint32_t *fetched) {
    *fetched = 0;
    rejectRecord_.clear();
    rejectLine_ = 0;
    if (!reader_) return log_.Fail("fetch without a select on " + settings_.path);
    if (list != selectedList_) {
        if (uint32_t status = rdxc::ListFieldsOf(list, selectedFields_); status != RDSTATUS_OK)
            return status;
        selectedList_ = list;
    }
    for (uint32_t i = 0; i < count;) {
        switch (reader_->Next()) {
        case Reader::Result::End:
            values_.ReportRounded(log_, settings_.path);
            return RDX_END_OF_DATA;
        case Reader::Result::Error:
            if (reader_->FileFault()) return LineFailure(reader_->Line(), reader_->Error(), 0);
            return RecordFailure(reader_->Error());
        case Reader::Result::Record:
            break;
        }
        if (uint32_t status = FillRecord(selectedFields_, first + i); status != RDSTATUS_OK)
            return status;
        // A record that does not pass is overwritten by the next one read.
        bool passes = true;
        if (uint32_t status = KeyPasses(selectedFields_, first + i, passes); status != RDSTATUS_OK)
            return status;
        if (!passes) continue;
        ++i;
        ++*fetched;
    }
    return RDSTATUS_OK;
}

uint32_t Connection::Catalog(uint32_t kind, uint32_t list, uint32_t *count) {
    *count = 0;
    if (kind != kKindFile) return Unsupported("this catalog kind");
    if (list == 0) return log_.Fail("the catalog of columns needs a field list");
    std::unique_ptr<Reader> reader;
    if (uint32_t status = OpenReader(reader); status != RDSTATUS_OK) return status;
    std::vector<Column> columns;
    if (uint32_t status = ReadColumns(*reader, columns); status != RDSTATUS_OK) return status;
    std::vector<std::pair<std::string, std::string>> described;
    for (const Column &column : columns)
        described.emplace_back(column.name, rdxc::ColumnTypeName(column.type));
    return rdxc::FillColumnCatalog(list, described, log_, count);
}

} // namespace rdcsv
