// SPDX-License-Identifier: Apache-2.0
#include "value_text.h"

#include "connector_values.h"
#include "datetime_text.h"
#include "decimal_text.h"
#include "number_forms.h"
#include "owned_stream.h"
#include "property_value.h"
#include "rdx_currency.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_numeric.h"
#include "rdx_status.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <vector>

namespace rdxc {
namespace {

struct TypeWord {
    const char *word;
    uint32_t type;
};
constexpr TypeWord kTypeWords[] = {
    {"int", RDTYPE_INT},         {"integer", RDTYPE_INT},        {"bigint", RDTYPE_NUMERIC},
    {"int64", RDTYPE_NUMERIC},   {"float", RDTYPE_FLOAT},        {"double", RDTYPE_FLOAT},
    {"real", RDTYPE_FLOAT},      {"currency", RDTYPE_CURRENCY},  {"money", RDTYPE_CURRENCY},
    {"numeric", RDTYPE_NUMERIC}, {"decimal", RDTYPE_NUMERIC},    {"datetime", RDTYPE_DATETIME},
    {"date", RDTYPE_DATETIME},   {"timestamp", RDTYPE_DATETIME}, {"text", RDTYPE_TEXT},
    {"string", RDTYPE_TEXT},     {"binary", RDTYPE_BINARY},      {"blob", RDTYPE_BINARY},
};
constexpr const char *kTypeNames[] = {"",        "int",      "float", "currency",
                                      "numeric", "datetime", "text",  "binary"};

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

template <typename T> bool WholeNumber(std::string_view text, T &value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.front() == '+') return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The bytes go straight into the field's slot; no stream is built aside.
uint32_t StreamValue(uint32_t field, uint32_t index, uint32_t charset, std::string_view bytes) {
    if (bytes.size() > UINT32_MAX) return RDSTATUS_NOMEMORY; // no stream holds them
    return RDFieldSetBytes(field, index, charset, bytes.data(),
                           static_cast<uint32_t>(bytes.size()));
}

uint32_t BinaryFromHex(uint32_t field, uint32_t index, std::string_view text) {
    if (text.size() % 2 != 0) return RDSTATUS_NOSTREAM;
    thread_local std::string bytes; // kept from value to value
    bytes.resize(text.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexDigit(text[2 * i]), low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return RDSTATUS_NOSTREAM;
        bytes[i] = static_cast<char>(high * 16 + low);
    }
    return StreamValue(field, index, RDKIND_BINARY, bytes);
}

void HexOf(const RDStream &value, std::string &out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out.clear();
    for (uint32_t i = 0; i < value.length; ++i) {
        out += kHex[value.data[i] >> 4];
        out += kHex[value.data[i] & 15];
    }
}

// A field without a format holds numerics of 88 digits, 44 after the point.
constexpr uint32_t kDefaultPrecision = RDNUMERIC_MAX_PRECISION;
constexpr int32_t kDefaultScale = 44;

// Into the value's record, digit by digit: the library's reader would drop
// digits after the point that the field does not hold without a word.
uint32_t StoreNumeric(uint32_t field, uint32_t index, Decimal &value, Rounding rounding) {
    void *buffer = nullptr;
    uint32_t *indicator = nullptr;
    if (uint32_t status = RDFieldGetBuffer(field, index, &buffer, &indicator);
        status != RDSTATUS_OK)
        return status;
    RDNumeric &record = *static_cast<RDNumeric *>(buffer);
    if (record.marker != RDNUMERIC_MARKER) // a cleared record: the default
        if (uint32_t status = RDNumericCreate(&record, kDefaultPrecision, kDefaultScale);
            status != RDSTATUS_OK)
            return status;
    if (Rescale(value, record.scale, rounding) == Fit::TooFine) return RDSTATUS_NOFIT;
    if (uint32_t status = StoreDecimal(value, record); status != RDSTATUS_OK) return status;
    *indicator = 0;
    return RDSTATUS_OK;
}

uint32_t NumericFromText(uint32_t field, uint32_t index, std::string_view text, Rounding rounding) {
    thread_local Decimal value;
    if (!ParseDecimal(text, value)) return RDSTATUS_NONUMERIC;
    return StoreNumeric(field, index, value, rounding);
}

// Amounts keep four digits after the point; more are refused (or rounded)
// before the library's reader sees the text.
uint32_t CurrencyFromText(uint32_t field, uint32_t index, std::string_view text,
                          Rounding rounding) {
    if (text.empty()) return RDSTATUS_NOCURRENCY;
    Decimal value;
    if (!ParseDecimal(text, value)) return StreamValue(field, index, RDCHARSET_INTERCHANGE, text);
    const Fit fit = Rescale(value, 4, rounding);
    if (fit == Fit::TooFine) return RDSTATUS_NOFIT;
    if (fit == Fit::Exact) return StreamValue(field, index, RDCHARSET_INTERCHANGE, text);
    std::string rounded;
    FormatDecimal(value, 4, rounded);
    return StreamValue(field, index, RDCHARSET_INTERCHANGE, rounded);
}

} // namespace

std::string_view TrimBlanks(std::string_view text) {
    return Trim(text);
}

std::vector<std::string_view> ColumnEntries(std::string_view text) {
    std::vector<std::string_view> entries;
    size_t start = 0, depth = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || (text[i] == ',' && depth == 0)) {
            entries.push_back(Trim(text.substr(start, i - start)));
            start = i + 1;
        } else if (text[i] == '(') {
            ++depth;
        } else if (text[i] == ')' && depth > 0) {
            --depth;
        }
    }
    return entries;
}

bool ParseColumnType(std::string_view name, ColumnType &out) {
    name = Trim(name);
    out = ColumnType{};
    std::string_view word = name, arguments;
    if (const size_t open = name.find('('); open != std::string_view::npos) {
        if (name.back() != ')') return false;
        word = Trim(name.substr(0, open));
        arguments = name.substr(open + 1, name.size() - open - 2);
    }
    for (const TypeWord &entry : kTypeWords) {
        if (SameWord(word, entry.word)) out.type = entry.type;
    }
    if (out.type == 0) return false;
    const bool bigint = SameWord(word, "bigint") || SameWord(word, "int64");
    if (bigint) out.precision = kBigintPrecision;
    if (arguments.empty()) return name.find('(') == std::string_view::npos;
    if (out.type != RDTYPE_NUMERIC || bigint) return false;
    const size_t comma = arguments.find(',');
    uint32_t precision = 0;
    int32_t scale = 0;
    if (!WholeNumber(Trim(arguments.substr(0, comma)), precision)) return false;
    if (comma != std::string_view::npos && !WholeNumber(Trim(arguments.substr(comma + 1)), scale))
        return false;
    if (precision == 0 || precision > RDNUMERIC_MAX_PRECISION || scale < 0 ||
        scale > static_cast<int32_t>(precision))
        return false;
    out.precision = precision;
    out.scale = scale;
    return true;
}

bool IsBigint(const ColumnType &type) {
    return type.type == RDTYPE_NUMERIC && type.precision == kBigintPrecision && type.scale == 0;
}

ColumnType FieldColumnType(uint32_t field, uint32_t type) {
    ColumnType column{type, 0, 0};
    uint32_t precision = 0, scale = 0;
    if (type == RDTYPE_NUMERIC &&
        RDFieldGetFormatNumber(field, nullptr, nullptr, &precision, &scale) == RDSTATUS_OK) {
        column.precision = precision;
        column.scale = static_cast<int32_t>(scale);
    }
    return column;
}

std::string ColumnTypeName(const ColumnType &type) {
    if (IsBigint(type)) return "bigint";
    std::string name = type.type <= RDTYPE_BINARY ? kTypeNames[type.type] : "";
    if (type.type == RDTYPE_NUMERIC && type.precision != 0)
        name.append("(")
            .append(std::to_string(type.precision))
            .append(",")
            .append(std::to_string(type.scale))
            .append(")");
    return name;
}

uint32_t ApplyColumnType(uint32_t field, const ColumnType &type) {
    if (type.type != RDTYPE_NUMERIC || type.precision == 0) return RDSTATUS_OK;
    return RDFieldSetFormatNumber(field, 0, 0, type.precision, static_cast<uint32_t>(type.scale));
}

bool TextIsInt(std::string_view text) {
    int32_t value = 0;
    return WholeNumber(text, value);
}

bool TextIsFloat(std::string_view text) {
    double value = 0;
    return WholeNumber(text, value);
}

bool TextIsDecimal(std::string_view text) {
    thread_local Decimal value;
    return ParseDecimal(text, value);
}

bool TextIsDatetime(std::string_view text, const DatetimePattern *pattern) {
    DatetimeText parts;
    RDDatetime value{};
    if (pattern != nullptr && !pattern->empty() && pattern->Read(text, parts))
        return DatetimeValue(parts, value);
    return ParseDatetime(text, value);
}

uint32_t TextToValue(uint32_t field, uint32_t type, uint32_t index, std::string_view text,
                     ValueRules *rules) {
    const Rounding rounding = rules != nullptr ? rules->rounding() : Rounding::None;
    switch (type) {
    case RDTYPE_INT: {
        int32_t value = 0;
        return WholeNumber(text, value) ? RDFieldSetInt(field, index, &value) : RDSTATUS_NOINT;
    }
    case RDTYPE_FLOAT: {
        double value = 0;
        return WholeNumber(text, value) ? RDFieldSetFloat(field, index, &value) : RDSTATUS_NOFLOAT;
    }
    case RDTYPE_NUMERIC:
        return NumericFromText(field, index, text, rounding);
    case RDTYPE_CURRENCY:
        return CurrencyFromText(field, index, text, rounding);
    case RDTYPE_DATETIME: {
        RDDatetime value{};
        const bool read =
            rules != nullptr ? rules->ReadDatetime(text, value) : ParseDatetime(text, value);
        return read ? RDFieldSetDatetime(field, index, &value) : RDSTATUS_NODATETIME;
    }
    case RDTYPE_BINARY:
        return BinaryFromHex(field, index, text);
    default:
        return StreamValue(field, index, RDCHARSET_INTERCHANGE, text);
    }
}

uint32_t DecimalToValue(uint32_t field, uint32_t index, Decimal &value, const ValueRules *rules) {
    return StoreNumeric(field, index, value, rules != nullptr ? rules->rounding() : Rounding::None);
}

std::string ValueProblem(uint32_t field, uint32_t type, std::string_view text, uint32_t status) {
    if (type == RDTYPE_DATETIME) return DatetimeCalendarProblem(text);
    if ((type != RDTYPE_NUMERIC && type != RDTYPE_CURRENCY) || status != RDSTATUS_NOFIT)
        return std::string();
    Decimal value;
    if (!ParseDecimal(text, value)) return std::string();
    ColumnType column = FieldColumnType(field, type);
    if (type == RDTYPE_CURRENCY) column = ColumnType{type, 19, 4};
    if (column.precision == 0) column = ColumnType{type, kDefaultPrecision, kDefaultScale};
    const std::string quoted = "\"" + std::string(text) + "\"";
    if (ScaleOf(value) > column.scale)
        return TooManyDecimals(quoted, ScaleOf(value), column.scale, "that the field");
    return quoted + " has more digits before the point than the field's " +
           std::to_string(column.precision - column.scale) + " (" +
           (type == RDTYPE_CURRENCY ? std::string("currency") : ColumnTypeName(column)) + ")";
}

namespace {

// The text of a numeric record read straight from its digits: `fixed`
// shows all its digits after the point, else as few as its value needs.
// False for records of unusual form (cleared, negative scale, a digit
// beyond 9), which go through Decimal.
bool NumericText(const RDNumeric &record, bool fixed, std::string &out) {
    const int precision = record.precision, scale = record.scale;
    if (record.marker != RDNUMERIC_MARKER ||
        precision > static_cast<int>(RDNUMERIC_MAX_PRECISION) || scale < 0 || scale > precision)
        return false;
    // Sign, the digits (a point among them) and room for a leading zero.
    char text[RDNUMERIC_MAX_PRECISION + 3];
    char *digits = text + 2;
    bool zero = true;
    for (int i = 0; i < precision; i += 2) {
        const uint8_t pair = record.digits[i / 2];
        const uint8_t high = pair >> 4, low = pair & 0x0F;
        if (high > 9 || (i + 1 < precision && low > 9)) return false;
        digits[i] = static_cast<char>('0' + high);
        digits[i + 1] = static_cast<char>('0' + low);
        zero = zero && high == 0 && (i + 1 >= precision || low == 0);
    }
    const int point = precision - scale;
    int first = 0, end = precision;
    while (first < point && digits[first] == '0')
        ++first;
    if (!fixed)
        while (end > point && digits[end - 1] == '0')
            --end;
    out.clear();
    if (record.sign != 0 && !zero) out += '-';
    if (first == point) out += '0';
    out.append(digits + first, static_cast<size_t>(point - first));
    if (end > point) {
        out += '.';
        out.append(digits + point, static_cast<size_t>(end - point));
    }
    return true;
}

} // namespace

uint32_t ValueToText(uint32_t field, uint32_t type, uint32_t index, std::string &out, bool &isNull,
                     const ValueRules *rules) {
    out.clear();
    void *value = nullptr;
    uint32_t *indicator = nullptr;
    if (uint32_t status = RDFieldGetBuffer(field, index, &value, &indicator); status != RDSTATUS_OK)
        return status;
    isNull = *indicator != 0;
    if (isNull) return RDSTATUS_OK;
    char digits[64];
    OwnedStream text;
    uint32_t status = RDSTATUS_OK;
    switch (type) {
    case RDTYPE_INT: {
        const auto result =
            std::to_chars(digits, digits + sizeof digits, *static_cast<int32_t *>(value));
        out.assign(digits, result.ptr);
        return RDSTATUS_OK;
    }
    case RDTYPE_FLOAT: {
        const auto result =
            std::to_chars(digits, digits + sizeof digits, *static_cast<double *>(value));
        out.assign(digits, result.ptr);
        return RDSTATUS_OK;
    }
    case RDTYPE_CURRENCY:
        status = RDStreamFromCurrency(text.get(), static_cast<RDCurrency *>(value),
                                      RDCHARSET_INTERCHANGE);
        break;
    case RDTYPE_NUMERIC: {
        const RDNumeric &record = *static_cast<RDNumeric *>(value);
        // The field's scale when it has a precision; else the shortest text.
        uint32_t precision = 0;
        RDFieldGetFormatNumber(field, nullptr, nullptr, &precision, nullptr);
        if (NumericText(record, precision != 0, out)) return RDSTATUS_OK;
        thread_local Decimal number;
        if (!DecimalOf(record, number)) return RDSTATUS_NONUMERIC;
        const int64_t scale = precision != 0 && record.marker == RDNUMERIC_MARKER
                                  ? std::max<int64_t>(record.scale, 0)
                                  : ScaleOf(number);
        FormatDecimal(number, static_cast<int32_t>(scale), out);
        return RDSTATUS_OK;
    }
    case RDTYPE_DATETIME: {
        const RDDatetime &datetime = *static_cast<RDDatetime *>(value);
        if (rules == nullptr || rules->pattern().empty()) {
            char text[kDatetimeTextSize];
            size_t length = 0;
            if (QuickDatetimeText(datetime, text, length)) {
                out.assign(text, length);
                return RDSTATUS_OK;
            }
        }
        const bool written = rules != nullptr && !rules->pattern().empty()
                                 ? rules->pattern().Write(datetime, out)
                                 : FormatDatetime(datetime, out);
        return written ? RDSTATUS_OK : RDSTATUS_NODATETIME;
    }
    case RDTYPE_BINARY:
        HexOf(*static_cast<RDStream *>(value), out);
        return RDSTATUS_OK;
    default:
        return Utf8Of(*static_cast<RDStream *>(value), out);
    }
    if (status == RDSTATUS_OK) out.assign(text.View());
    return status;
}

} // namespace rdxc
