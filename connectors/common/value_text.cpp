#include "value_text.h"

#include "datetime_text.h"
#include "owned_stream.h"
#include "property_value.h"
#include "rdx_currency.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_numeric.h"
#include "rdx_status.h"

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
    {"int", RDTYPE_INT},           {"integer", RDTYPE_INT},     {"float", RDTYPE_FLOAT},
    {"double", RDTYPE_FLOAT},      {"real", RDTYPE_FLOAT},      {"currency", RDTYPE_CURRENCY},
    {"money", RDTYPE_CURRENCY},    {"numeric", RDTYPE_NUMERIC}, {"decimal", RDTYPE_NUMERIC},
    {"datetime", RDTYPE_DATETIME}, {"date", RDTYPE_DATETIME},   {"timestamp", RDTYPE_DATETIME},
    {"text", RDTYPE_TEXT},         {"string", RDTYPE_TEXT},     {"binary", RDTYPE_BINARY},
    {"blob", RDTYPE_BINARY},
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

uint32_t StreamValue(uint32_t field, uint32_t index, uint32_t charset, std::string_view bytes) {
    OwnedStream value;
    if (uint32_t status = value.Set(charset, bytes); status != RDSTATUS_OK) return status;
    return RDFieldSetStream(field, index, value.get());
}

uint32_t BinaryFromHex(uint32_t field, uint32_t index, std::string_view text) {
    if (text.size() % 2 != 0) return RDSTATUS_NOSTREAM;
    std::string bytes(text.size() / 2, '\0');
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

} // namespace

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
    if (arguments.empty()) return name.find('(') == std::string_view::npos;
    if (out.type != RDTYPE_NUMERIC) return false;
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

std::string ColumnTypeName(const ColumnType &type) {
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

// [+-] digits [. digits] [e [+-] digits], at least one digit before the
// exponent.
bool TextIsDecimal(std::string_view text) {
    size_t i = 0, digits = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        ++digits;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        const size_t start = i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        }
        if (i == start) return false;
    }
    return i == text.size();
}

bool TextIsDatetime(std::string_view text) {
    RDDatetime value{};
    return ParseDatetime(text, value);
}

uint32_t TextToValue(uint32_t field, uint32_t type, uint32_t index, std::string_view text) {
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
        if (!TextIsDecimal(text)) return RDSTATUS_NONUMERIC;
        return StreamValue(field, index, RDCHARSET_INTERCHANGE, text);
    case RDTYPE_CURRENCY:
        if (text.empty()) return RDSTATUS_NOCURRENCY;
        return StreamValue(field, index, RDCHARSET_INTERCHANGE, text);
    case RDTYPE_DATETIME: {
        RDDatetime value{};
        return ParseDatetime(text, value) ? RDFieldSetDatetime(field, index, &value)
                                          : RDSTATUS_NODATETIME;
    }
    case RDTYPE_BINARY:
        return BinaryFromHex(field, index, text);
    default:
        return StreamValue(field, index, RDCHARSET_INTERCHANGE, text);
    }
}

uint32_t ValueToText(uint32_t field, uint32_t type, uint32_t index, std::string &out,
                     bool &isNull) {
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
    case RDTYPE_NUMERIC:
        status =
            RDStreamFromNumeric(text.get(), static_cast<RDNumeric *>(value), RDCHARSET_INTERCHANGE);
        break;
    case RDTYPE_DATETIME:
        return FormatDatetime(*static_cast<RDDatetime *>(value), out) ? RDSTATUS_OK
                                                                      : RDSTATUS_NODATETIME;
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
