// SPDX-License-Identifier: Apache-2.0
// Select and fetch: the file's fields laid out in the field list, then each
// line parsed as one JSON object and its members filled into the list by
// key. A line that is no object, a value that does not go into its field, a
// key given twice (or, with UnknownKeys reject, a key of no field) fails its
// record; the next fetch goes on at the next line. With UnknownKeys keep,
// the keys of no field make one JSON object in the extra field, the last.
#include "connector_records.h"
#include "json_connection.h"
#include "json_text.h"
#include "property_value.h"
#include "sql_select.h"

#include "rdx_connector.h"
#include "rdx_field.h"
#include "rdx_fieldlist.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"
#include "rdx_stream.h"

#include <simdjson.h>

#include <algorithm>

namespace rdjson {

namespace ondemand = simdjson::ondemand;
static_assert(LineReader::kPadding >= simdjson::SIMDJSON_PADDING);

namespace {

constexpr const char *kTypeWords[] = {"",          "an integer",  "a float", "a currency amount",
                                      "a numeric", "a date-time", "a text",  "a binary value"};

std::string Describe(uint32_t type) {
    return type <= RDTYPE_BINARY ? kTypeWords[type] : "a value";
}

std::string FieldName(size_t index, const std::string &name) {
    return "field " + std::to_string(index + 1) + " (" + rdxc::ShownName(name) + ")";
}

std::string_view TrimEnd(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

// Fields inferred from the keys of the lines: a file of more different keys
// is no table (or is hostile), and its fields are to be declared.
constexpr size_t kMostFields = 4096;

bool Blank(std::string_view line) {
    return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

std::string ColumnTypeText(const Column &column) {
    if (column.form == Form::Bool) return "bool";
    if (column.form == Form::Json) return "json";
    return rdxc::ColumnTypeName(column.type);
}

} // namespace

// The parser and the work on one line's object.
struct Connection::Parser {
    explicit Parser(size_t maxLine) : parser(maxLine + LineReader::kPadding) {}

    ondemand::parser parser;
    ondemand::document document;
    std::string error; // why the line is no object

    // Calls visit(key, value, type) for each member of the line's object
    // until visit returns false. False with error set when the line is not
    // one JSON object (error empty when visit stopped).
    template <class Visit> bool Members(std::string_view line, size_t room, Visit &&visit) {
        error.clear();
        ondemand::object object;
        auto fail = [&](simdjson::error_code code) {
            error = code == simdjson::INCORRECT_TYPE ? "the line holds no JSON object"
                                                     : std::string("the line is no valid JSON (") +
                                                           simdjson::error_message(code) + ")";
            return false;
        };
        if (auto code = parser.iterate(line.data(), line.size(), room).get(document))
            return fail(code);
        if (auto code = document.get_object().get(object)) return fail(code);
        for (auto member : object) {
            ondemand::field field;
            std::string_view key;
            ondemand::json_type type;
            if (auto code = std::move(member).get(field)) return fail(code);
            if (auto code = field.unescaped_key().get(key)) return fail(code);
            ondemand::value value = field.value();
            if (auto code = value.type().get(type)) return fail(code);
            if (!visit(key, value, type)) return false;
        }
        // Past the object's end there is nothing but white space.
        if (const char *after = nullptr; !document.current_location().get(after)) {
            error = "the line holds more than one JSON value";
            return false;
        }
        return true;
    }

    // The text of a value that is kept as text (numbers as written, nested
    // values as their JSON), and its kind; false with error for a value that
    // does not parse.
    bool Text(ondemand::value &value, ondemand::json_type type, std::string_view &text, Kind &kind,
              bool &integer) {
        simdjson::error_code code = simdjson::SUCCESS;
        switch (type) {
        case ondemand::json_type::object: {
            ondemand::object object;
            kind = Kind::Nested;
            code = value.get_object().get(object);
            if (!code) code = object.raw_json().get(text);
            break;
        }
        case ondemand::json_type::array: {
            ondemand::array array;
            kind = Kind::Nested;
            code = value.get_array().get(array);
            if (!code) code = array.raw_json().get(text);
            break;
        }
        case ondemand::json_type::string:
            kind = Kind::String;
            code = value.get_string().get(text);
            break;
        case ondemand::json_type::number:
            kind = Kind::Number;
            text = value.raw_json_token();
            if (!IsJsonNumber(TrimEnd(text), integer)) {
                error = "\"" + std::string(TrimEnd(text).substr(0, 64)) + "\" is not a JSON number";
                return false;
            }
            break;
        case ondemand::json_type::boolean: {
            bool yes = false;
            kind = Kind::Bool;
            code = value.get_bool().get(yes);
            text = yes ? "true" : "false";
            break;
        }
        case ondemand::json_type::null:
            kind = Kind::Null;
            text = value.raw_json_token();
            if (TrimEnd(text) != "null") code = simdjson::N_ATOM_ERROR;
            break;
        }
        if (code) {
            error =
                std::string("the value is no valid JSON (") + simdjson::error_message(code) + ")";
            return false;
        }
        if (kind != Kind::String) text = TrimEnd(text); // tokens run to the next one
        // Skipping over a nested value only matches its brackets: the text
        // kept of it is checked whole, nesting depth included.
        if (kind == Kind::Nested && !IsJsonValue(text)) {
            error = "the nested value is no valid JSON (or nests deeper than 1024 levels)";
            return false;
        }
        return true;
    }

    // A member of no field kept: its key and its value as the line has it
    // added to the object of the extra field.
    static uint32_t Keep(Connection &c, std::string_view key, ondemand::value &value,
                         ondemand::json_type type) {
        const std::string shown = "the key \"" + rdxc::ShownName(key) + "\"";
        if (!c.extraKeys_.insert(key).second) return c.RecordFailure(shown + " comes twice");
        std::string_view token;
        const bool nested =
            type == ondemand::json_type::object || type == ondemand::json_type::array;
        if (!nested) token = TrimEnd(value.raw_json_token());
        std::string_view text;
        Kind kind = Kind::Null;
        bool integer = false;
        if (!c.parser_->Text(value, type, text, kind, integer))
            return c.RecordFailure(shown + ": " + c.parser_->error);
        c.extra_ += c.extra_.empty() ? '{' : ',';
        if (!AppendString(c.extra_, key)) return c.RecordFailure(shown + " is not UTF-8");
        c.extra_ += ':';
        c.extra_ += nested ? text : token;
        return RDSTATUS_OK;
    }

    // One member's value into value index of column c's field.
    static uint32_t Fill(Connection &c, size_t column, uint32_t index, ondemand::value &value,
                         ondemand::json_type type) {
        Parser &p = *c.parser_;
        const rdxc::ListField &field = c.fields_[column];
        std::string_view text;
        Kind kind = Kind::Null;
        bool integer = false;
        if (!p.Text(value, type, text, kind, integer))
            return c.RecordFailure(FieldName(column, field.name) + ": " + p.error);
        if (kind == Kind::Null) return RDFieldSetNull(field.field, index, 1);
        const auto refuse = [&](const char *what) {
            return c.RecordFailure(FieldName(column, field.name) + ": " + what + " is not " +
                                   Describe(field.type));
        };
        switch (kind) {
        case Kind::Nested:
            if (field.type != RDTYPE_TEXT)
                return refuse(text.front() == '[' ? "an array" : "an object");
            break;
        case Kind::Bool:
            if (field.type == RDTYPE_INT) {
                const int32_t number = text == "true" ? 1 : 0;
                return RDFieldSetInt(field.field, index, &number);
            }
            if (field.type == RDTYPE_NUMERIC || field.type == RDTYPE_FLOAT ||
                field.type == RDTYPE_CURRENCY)
                text = text == "true" ? "1" : "0";
            else if (field.type != RDTYPE_TEXT)
                return refuse(text == "true" ? "true" : "false");
            break;
        case Kind::Number:
            if (field.type == RDTYPE_DATETIME || field.type == RDTYPE_BINARY)
                return refuse("a number");
            break;
        case Kind::String:
            if (field.type == RDTYPE_BINARY) {
                if (!DecodeBase64(text, c.scratch_))
                    return c.RecordFailure(FieldName(column, field.name) +
                                           ": the string is not base64");
                if (c.scratch_.size() > UINT32_MAX) return RDSTATUS_NOMEMORY;
                return RDFieldSetBytes(field.field, index, RDKIND_BINARY, c.scratch_.data(),
                                       static_cast<uint32_t>(c.scratch_.size()));
            }
            break;
        case Kind::Null:
            break;
        }
        const uint32_t status = rdxc::TextToValue(field.field, field.type, index, text, &c.values_);
        if (status == RDSTATUS_OK || status == RDSTATUS_NOMEMORY) return status;
        return c.RecordFailure(c.ValueFailure(column, text, status));
    }
};

Connection::Connection() = default;
Connection::~Connection() = default;

uint32_t Connection::LineFailure(uint64_t line, const std::string &what) {
    return log_.Fail("line " + std::to_string(line) + " of " + settings_.path + ": " + what);
}

// The reader stands right after the bad line: the next fetch goes on there.
uint32_t Connection::RecordFailure(const std::string &what) {
    rejectLine_ = reader_->LineNumber();
    rejectRecord_ = reader_->Head(kRejectCutBytes);
    if (rejectRecord_.empty() || rejectRecord_.back() != '\n') rejectRecord_ += '\n';
    std::string text =
        "line " + std::to_string(rejectLine_) + " of " + settings_.path + ": " + what;
    if (reader_->Unended()) text += " (the last line has no line end: the file may be cut short)";
    return log_.RecordFault(std::move(text));
}

// Names the field and the value; a type inferred from the first lines may
// not fit a later one: the text says which property to change.
std::string Connection::ValueFailure(size_t column, std::string_view text, uint32_t status) const {
    const rdxc::ListField &field = fields_[column];
    std::string problem = rdxc::ValueProblem(field.field, field.type, text, status);
    if (problem.empty())
        problem = "\"" + std::string(text.substr(0, 200)) + "\" is not " + Describe(field.type);
    std::string failure = FieldName(column, field.name) + ": " + problem;
    if (column < inferred_.size() && inferred_[column] && !settings_.inferAll)
        failure += "; the field's type " +
                   rdxc::ColumnTypeName(rdxc::FieldColumnType(field.field, field.type)) +
                   " was inferred from the first " + std::to_string(inferredFrom_) +
                   " lines: set InferRows higher (or to \"all\"), or declare the field in Columns";
    return failure;
}

uint32_t Connection::OpenReader(std::unique_ptr<LineReader> &reader) {
    reader = std::make_unique<LineReader>(static_cast<size_t>(settings_.maxLine));
    std::string error;
    if (!reader->Open(settings_.path, error)) return log_.Fail(error);
    parser_ = std::make_unique<Parser>(static_cast<size_t>(settings_.maxLine));
    return RDSTATUS_OK;
}

// The declared fields, or those of the first lines' keys with the types
// of their values; leaves the reader at the first line.
uint32_t Connection::ReadColumns(LineReader &reader, std::vector<Column> &columns) {
    std::string error;
    if (!ParseColumnList(settings_.columns, columns, error)) return log_.Fail("Columns: " + error);
    inferredFrom_ = 0;
    if (!columns.empty()) return RDSTATUS_OK;
    TypeInference inference(&values_.pattern());
    std::unordered_map<std::string, size_t> seen;
    std::vector<std::string> names;
    for (int64_t row = 0; settings_.inferAll || row < settings_.inferRows;) {
        const LineReader::Result result = reader.Next();
        if (result == LineReader::Result::End) break;
        if (result == LineReader::Result::Error)
            return LineFailure(reader.LineNumber() + 1, reader.Error());
        if (result == LineReader::Result::TooLong || Blank(reader.Line())) continue;
        ++row;
        ++inferredFrom_;
        // A line that fails is reported when it is fetched.
        parser_->Members(
            reader.Line(), reader.Room(),
            [&](std::string_view key, ondemand::value &value, ondemand::json_type type) {
                std::string_view text;
                Kind kind = Kind::Null;
                bool integer = false;
                if (!parser_->Text(value, type, text, kind, integer)) return false;
                auto [at, added] = seen.try_emplace(std::string(key), names.size());
                if (added) names.emplace_back(key);
                inference.Add(at->second, kind, text);
                return names.size() <= kMostFields;
            });
        if (names.size() > kMostFields)
            return LineFailure(reader.LineNumber(),
                               "the lines read so far have more than " +
                                   std::to_string(kMostFields) +
                                   " different keys: declare the fields (property Columns)");
    }
    if (names.empty())
        return log_.Fail("the file " + settings_.path +
                         " holds no object to take fields from and no fields are declared "
                         "(property Columns)");
    for (size_t i = 0; i < names.size(); ++i) {
        columns.push_back(inference.Result(i));
        columns.back().name = names[i];
    }
    if (!reader.Rewind()) return log_.Fail("the file " + settings_.path + " cannot be read again");
    return RDSTATUS_OK;
}

uint32_t Connection::AddExtraColumn(std::vector<Column> &columns) {
    extraColumn_ = std::string::npos;
    if (settings_.unknown != UnknownKeys::Keep) return RDSTATUS_OK;
    for (const Column &column : columns)
        if (column.name == settings_.extraField)
            return log_.Fail("the field " + rdxc::ShownName(settings_.extraField) +
                             " that keeps the keys of no field (ExtraField) is a field of " +
                             settings_.path + " too: give ExtraField another name");
    Column extra;
    extra.name = settings_.extraField;
    extra.type.type = RDTYPE_TEXT;
    extra.form = Form::Json;
    extraColumn_ = columns.size();
    columns.push_back(std::move(extra));
    return RDSTATUS_OK;
}

// An empty list gets one field per column; a list with fields keeps them,
// one per column, and their types.
uint32_t Connection::LayOut(uint32_t list, const std::vector<Column> &columns) {
    return rdxc::SelectFileFields(list, columns, log_, fields_);
}

uint32_t Connection::Select(uint32_t list, uint32_t *count) {
    *count = 0;
    values_.ReportRounded(log_, settings_.path);
    rejectRecord_.clear();
    rejectLine_ = 0;
    reader_.reset();
    selectedList_ = 0;
    std::unique_ptr<LineReader> reader;
    if (uint32_t status = OpenReader(reader); status != RDSTATUS_OK) return status;
    std::vector<Column> columns;
    if (uint32_t status = ReadColumns(*reader, columns); status != RDSTATUS_OK) return status;
    if (uint32_t status = AddExtraColumn(columns); status != RDSTATUS_OK) return status;
    if (uint32_t status = PositionReader(*reader); status != RDSTATUS_OK) return status;
    if (list != 0) {
        if (uint32_t status = LayOut(list, columns); status != RDSTATUS_OK) return status;
    }
    columns_ = std::move(columns);
    keys_.clear();
    for (size_t i = 0; i < columns_.size(); ++i)
        if (i != extraColumn_) keys_.emplace(columns_[i].name, i);
    filled_.assign(columns_.size(), 0);
    inferred_.assign(columns_.size(), inferredFrom_ != 0);
    reader_ = std::move(reader);
    selectedList_ = list;
    *count = RDX_COUNT_UNKNOWN; // the file is not counted ahead
    return RDSTATUS_OK;
}

uint32_t Connection::FillRecord(uint32_t index) {
    ++record_;
    extra_.clear();
    extraKeys_.clear();
    uint32_t status = RDSTATUS_OK;
    size_t next = 0; // keys mostly come in the fields' order
    const bool parsed = parser_->Members(
        reader_->Line(), reader_->Room(),
        [&](std::string_view key, ondemand::value &value, ondemand::json_type type) {
            size_t column = next;
            if (column >= columns_.size() || column == extraColumn_ ||
                columns_[column].name != key) {
                const auto found = keys_.find(key);
                if (found == keys_.end()) {
                    if (settings_.unknown == UnknownKeys::Ignore) return true;
                    status =
                        settings_.unknown == UnknownKeys::Keep
                            ? Parser::Keep(*this, key, value, type)
                            : RecordFailure("the key \"" + rdxc::ShownName(key) +
                                            "\" is none of the fields (UnknownKeys is reject)");
                    return status == RDSTATUS_OK;
                }
                column = found->second;
            }
            next = column + 1;
            if (filled_[column] == record_) {
                status = RecordFailure("the key \"" + rdxc::ShownName(key) + "\" comes twice");
                return false;
            }
            filled_[column] = record_;
            status = Parser::Fill(*this, column, index, value, type);
            return status == RDSTATUS_OK;
        });
    if (status != RDSTATUS_OK) return status;
    if (!parsed) return RecordFailure(parser_->error);
    if (extraColumn_ != std::string::npos && !extra_.empty()) {
        extra_ += '}';
        filled_[extraColumn_] = record_;
        if (uint32_t s = rdxc::TextToValue(fields_[extraColumn_].field, fields_[extraColumn_].type,
                                           index, extra_);
            s != RDSTATUS_OK)
            return s == RDSTATUS_NOMEMORY ? s
                                          : RecordFailure(ValueFailure(extraColumn_, extra_, s));
    }
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (filled_[i] != record_)
            if (uint32_t s = RDFieldSetNull(fields_[i].field, index, 1); s != RDSTATUS_OK) return s;
    }
    return RDSTATUS_OK;
}

uint32_t Connection::Fetch(uint32_t list, uint32_t first, uint32_t count, uint32_t *fetched) {
    *fetched = 0;
    rejectRecord_.clear();
    rejectLine_ = 0;
    if (!reader_) return log_.Fail("fetch without a select on " + settings_.path);
    if (list != selectedList_) {
        if (uint32_t status = rdxc::ListFieldsOf(list, fields_); status != RDSTATUS_OK)
            return status;
        if (fields_.size() != columns_.size())
            return log_.Fail("the field list has " + std::to_string(fields_.size()) +
                             " fields, the select " + std::to_string(columns_.size()) + " columns");
        selectedList_ = list;
    }
    for (uint32_t i = 0; i < count;) {
        switch (reader_->Next()) {
        case LineReader::Result::End:
            values_.ReportRounded(log_, settings_.path);
            return RDX_END_OF_DATA;
        case LineReader::Result::Error:
            return LineFailure(reader_->NextLine(), reader_->Error());
        case LineReader::Result::TooLong:
            return RecordFailure("the line holds more than " + std::to_string(settings_.maxLine) +
                                 " bytes (MaxLineBytes)");
        case LineReader::Result::Line:
            break;
        }
        if (Blank(reader_->Line())) continue;
        if (uint32_t status = FillRecord(first + i); status != RDSTATUS_OK) return status;
        ++i;
        ++*fetched;
    }
    return RDSTATUS_OK;
}

uint32_t Connection::Catalog(uint32_t kind, uint32_t list, uint32_t *count) {
    *count = 0;
    if (kind != kKindFile) return Unsupported("this catalog kind");
    if (list == 0) return log_.Fail("the catalog of fields needs a field list");
    std::unique_ptr<LineReader> reader;
    if (uint32_t status = OpenReader(reader); status != RDSTATUS_OK) return status;
    std::vector<Column> columns;
    if (uint32_t status = ReadColumns(*reader, columns); status != RDSTATUS_OK) return status;
    if (uint32_t status = AddExtraColumn(columns); status != RDSTATUS_OK) return status;
    std::vector<std::pair<std::string, std::string>> described;
    for (const Column &column : columns)
        described.emplace_back(column.name, ColumnTypeText(column));
    return rdxc::FillColumnCatalog(list, described, log_, count);
}

} // namespace rdjson
