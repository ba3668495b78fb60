// SPDX-License-Identifier: Apache-2.0
#include "pg_binary.h"

#include "pg_datetime.h"
#include "pg_wire.h"

#include "decimal_text.h"
#include "owned_stream.h"
#include "rdx_datetime.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace rdpg {
namespace {

// The stream a text or binary field keeps for record index, read in place.
uint32_t StoredStream(uint32_t field, uint32_t index, const RDStream *&stream) {
    void *value = nullptr;
    uint32_t *indicator = nullptr;
    if (uint32_t status = RDFieldGetBuffer(field, index, &value, &indicator); status != 0)
        return status;
    stream = static_cast<const RDStream *>(value);
    return RDSTATUS_OK;
}

// The value with its length word in front.
void PutBytes(std::string &out, std::string_view bytes) {
    Put32(out, static_cast<uint32_t>(bytes.size()));
    out.append(bytes);
}

uint32_t TextOf(uint32_t field, uint32_t type, uint32_t index, const rdxc::ValueRules &rules,
                std::string &out) {
    if (type == RDTYPE_TEXT || type == RDTYPE_BINARY) {
        const RDStream *kept = nullptr;
        if (uint32_t status = StoredStream(field, index, kept); status != 0) return status;
        const RDStream &stream = *kept;
        if (type == RDTYPE_BINARY) {
            out.assign(reinterpret_cast<const char *>(stream.data),
                       stream.data == nullptr ? 0 : stream.length);
            return RDSTATUS_OK;
        }
        // Into UTF-8, the session's client encoding: the server translates
        // to the database's encoding.
        return rdxc::Utf8Of(stream, out);
    }
    if (type == RDTYPE_FLOAT) {
        double value = 0;
        uint32_t isNull = 0;
        if (uint32_t status = RDFieldGetFloat(field, index, &value, &isNull); status != 0)
            return status;
        char digits[400];
        const auto [end, error] =
            std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed);
        if (error != std::errc()) return RDSTATUS_NOFIT;
        out.assign(digits, end);
        return RDSTATUS_OK;
    }
    bool isNull = false;
    return rdxc::ValueToText(field, type, index, out, isNull, &rules);
}

// The number of value index of field: a numeric's record as it is, other
// types through their text. shown: the digits after the point the value
// is written with (a numeric field's scale). False with problem set.
bool NumberOf(uint32_t field, uint32_t type, uint32_t index, const rdxc::ValueRules &rules,
              rdxc::Decimal &value, int32_t &shown, std::string &problem) {
    thread_local std::string text;
    if (type == RDTYPE_NUMERIC) {
        void *buffer = nullptr;
        uint32_t *indicator = nullptr;
        uint32_t precision = 0;
        if (RDFieldGetBuffer(field, index, &buffer, &indicator) != 0 ||
            !rdxc::DecimalOf(*static_cast<const RDNumeric *>(buffer), value)) {
            problem = "the numeric value is not valid";
            return false;
        }
        RDFieldGetFormatNumber(field, nullptr, nullptr, &precision, nullptr);
        const RDNumeric &record = *static_cast<const RDNumeric *>(buffer);
        shown = precision != 0 && record.marker == RDNUMERIC_MARKER
                    ? std::max<int32_t>(record.scale, 0)
                    : static_cast<int32_t>(rdxc::ScaleOf(value));
        return true;
    }
    if (TextOf(field, type, index, rules, text) != 0 || !rdxc::ParseDecimal(text, value)) {
        problem = "\"" + text + "\" is not a decimal number";
        return false;
    }
    shown = static_cast<int32_t>(rdxc::ScaleOf(value));
    return true;
}

// Brings value to the column's scale: refused (problem set) when it has
// more digits after the point and the rules do not round.
bool FitColumnScale(rdxc::Decimal &value, int32_t scale, const rdxc::ValueRules &rules,
                    std::string &problem) {
    if (rdxc::Rescale(value, scale, rules.rounding()) != rdxc::Fit::TooFine) return true;
    std::string text;
    rdxc::FormatDecimal(value, static_cast<int32_t>(rdxc::ScaleOf(value)), text);
    problem = rdxc::TooManyDecimals(text, rdxc::ScaleOf(value), scale, "that the column");
    return false;
}

uint32_t AppendInteger(uint32_t oid, uint32_t field, uint32_t type, uint32_t index,
                       const rdxc::ValueRules &rules, std::string &out, std::string &problem) {
    int64_t value = 0;
    if (type == RDTYPE_INT) {
        int32_t small = 0;
        uint32_t isNull = 0;
        if (uint32_t status = RDFieldGetInt(field, index, &small, &isNull); status != 0)
            return status;
        value = small;
    } else {
        thread_local rdxc::Decimal number;
        int32_t shown = 0;
        if (!NumberOf(field, type, index, rules, number, shown, problem) ||
            !FitColumnScale(number, 0, rules, problem))
            return RDSTATUS_NOFIT;
        if (!rdxc::ToInt64(number, value)) {
            std::string text;
            rdxc::FormatDecimal(number, 0, text);
            problem = text + " does not fit the column";
            return RDSTATUS_NOFIT;
        }
    }
    const int64_t low = oid == kBool   ? 0
                        : oid == kInt2 ? -32768
                        : oid == kInt4 ? INT32_MIN
                                       : INT64_MIN;
    const int64_t high = oid == kBool   ? 1
                         : oid == kInt2 ? 32767
                         : oid == kInt4 ? INT32_MAX
                                        : INT64_MAX;
    if (value < low || value > high) {
        problem = std::to_string(value) + " does not fit the column";
        return RDSTATUS_NOFIT;
    }
    if (oid == kBool) {
        Put32(out, 1);
        out += static_cast<char>(value);
    } else if (oid == kInt2) {
        Put32(out, 2);
        Put16(out, static_cast<uint16_t>(value));
    } else if (oid == kInt4) {
        Put32(out, 4);
        Put32(out, static_cast<uint32_t>(value));
    } else {
        Put32(out, 8);
        Put64(out, static_cast<uint64_t>(value));
    }
    return RDSTATUS_OK;
}

uint32_t AppendFloat(uint32_t oid, uint32_t field, uint32_t type, uint32_t index,
                     const rdxc::ValueRules &rules, std::string &out, std::string &problem) {
    double value = 0;
    uint32_t isNull = 0;
    if (type == RDTYPE_FLOAT || type == RDTYPE_INT) {
        if (uint32_t status = RDFieldGetFloat(field, index, &value, &isNull); status != 0)
            return status;
    } else {
        std::string text;
        if (uint32_t status = TextOf(field, type, index, rules, text); status != 0) return status;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size()) {
            problem = "\"" + text + "\" is not a number";
            return RDSTATUS_NOFIT;
        }
    }
    if (oid == kFloat4) {
        const float single = static_cast<float>(value);
        uint32_t bits = 0;
        std::memcpy(&bits, &single, 4);
        Put32(out, 4);
        Put32(out, bits);
    } else {
        uint64_t bits = 0;
        std::memcpy(&bits, &value, 8);
        Put32(out, 8);
        Put64(out, bits);
    }
    return RDSTATUS_OK;
}

uint32_t AppendDatetime(uint32_t oid, uint32_t field, uint32_t type, uint32_t index,
                        const rdxc::ValueRules &rules, std::string &out, std::string &problem) {
    if (type != RDTYPE_DATETIME) {
        std::string text;
        if (uint32_t status = TextOf(field, type, index, rules, text); status != 0) return status;
        rdxc::DatetimeText parts;
        if (!rules.ReadDatetimeText(text, parts)) {
            problem = "\"" + text + "\" is not a date-time";
            return RDSTATUS_NOFIT;
        }
        return EncodeDatetimeText(oid, parts, out, problem);
    }
    RDDatetime value{};
    uint32_t isNull = 0;
    if (uint32_t status = RDFieldGetDatetime(field, index, &value, &isNull); status != 0)
        return status;
    return EncodeDatetime(oid, value, out, problem);
}

// Written with the column's scale, or the field's for a numeric column
// without one (7600.00 stays 7600.00).
uint32_t AppendNumeric(const ColumnKind &column, uint32_t field, uint32_t type, uint32_t index,
                       const rdxc::ValueRules &rules, std::string &out, std::string &problem) {
    // Kept between values: no allocation per value once they have grown.
    thread_local rdxc::Decimal number;
    thread_local std::string text, bytes;
    int32_t shown = 0;
    if (!NumberOf(field, type, index, rules, number, shown, problem)) return RDSTATUS_NOFIT;
    const int32_t scale = NumericScale(column.modifier);
    if (column.modifier >= 4) { // numeric(P,S)
        if (!FitColumnScale(number, scale, rules, problem)) return RDSTATUS_NOFIT;
        shown = std::max(scale, 0);
    }
    if (EncodeNumeric(number, shown, out)) return RDSTATUS_OK;
    rdxc::FormatDecimal(number, shown, text);
    if (!NumericFromText(text, bytes)) {
        problem = text + " has too many digits for PostgreSQL's numeric";
        return RDSTATUS_NOFIT;
    }
    PutBytes(out, bytes);
    return RDSTATUS_OK;
}

// The bytes go straight into the field's slot, no stream built aside.
uint32_t StoreStream(uint32_t field, uint32_t index, uint32_t charset, std::string_view bytes) {
    if (bytes.size() > UINT32_MAX) return RDSTATUS_NOMEMORY;
    return RDFieldSetBytes(field, index, charset, bytes.data(),
                           static_cast<uint32_t>(bytes.size()));
}

// A boolean or integer in binary form as a 64-bit integer; false for other
// types and malformed values.
bool BinaryInteger(uint32_t oid, std::string_view bytes, int64_t &out) {
    size_t size = 0;
    switch (oid) {
    case kBool:
        size = 1;
        break;
    case kInt2:
        size = 2;
        break;
    case kInt4:
        size = 4;
        break;
    case kInt8:
        size = 8;
        break;
    default:
        return false;
    }
    if (bytes.size() != size) return false;
    const uint64_t bits = Get(bytes, 0, size);
    out = size == 1   ? bits != 0
          : size == 2 ? static_cast<int16_t>(bits)
          : size == 4 ? static_cast<int32_t>(bits)
                      : static_cast<int64_t>(bits);
    return true;
}

// Integers and numerics into int and numeric fields straight from their
// binary form. RDSTATUS_BADKINDS where the value takes the text route:
// other types, malformed values, and values the field refuses (whose
// problem the text route tells).
uint32_t StoreBinaryNumber(uint32_t oid, std::string_view bytes, uint32_t field, uint32_t type,
                           uint32_t index, const rdxc::ValueRules &rules) {
    if (type != RDTYPE_INT && type != RDTYPE_NUMERIC) return RDSTATUS_BADKINDS;
    thread_local rdxc::Decimal number;
    int64_t whole = 0;
    if (BinaryInteger(oid, bytes, whole)) {
        if (type == RDTYPE_INT) {
            if (whole < INT32_MIN || whole > INT32_MAX) return RDSTATUS_BADKINDS;
            const int32_t value = static_cast<int32_t>(whole);
            return RDFieldSetInt(field, index, &value);
        }
        number = rdxc::FromInt64(whole);
    } else if (type != RDTYPE_NUMERIC || oid != kNumeric || !NumericToDecimal(bytes, number)) {
        return RDSTATUS_BADKINDS;
    }
    const uint32_t status = rdxc::DecimalToValue(field, index, number, &rules);
    return status == RDSTATUS_OK || status == RDSTATUS_NOMEMORY ? status : RDSTATUS_BADKINDS;
}

// The text form of a binary value whose field type is not its own: the
// field converts it from the text.
bool BinaryToText(uint32_t oid, std::string_view bytes, std::string &out) {
    auto sized = [&](size_t size) { return bytes.size() == size; };
    switch (oid) {
    case kBool:
        if (!sized(1)) return false;
        out = bytes[0] != 0 ? "1" : "0";
        return true;
    case kInt2:
        if (!sized(2)) return false;
        out = std::to_string(static_cast<int16_t>(Get(bytes, 0, 2)));
        return true;
    case kInt4:
        if (!sized(4)) return false;
        out = std::to_string(static_cast<int32_t>(Get(bytes, 0, 4)));
        return true;
    case kInt8:
        if (!sized(8)) return false;
        out = std::to_string(static_cast<int64_t>(Get(bytes, 0, 8)));
        return true;
    case kFloat4:
    case kFloat8: {
        double value = 0;
        if (sized(4)) {
            const uint32_t bits = static_cast<uint32_t>(Get(bytes, 0, 4));
            float single = 0;
            std::memcpy(&single, &bits, 4);
            value = single;
        } else if (sized(8)) {
            const uint64_t bits = Get(bytes, 0, 8);
            std::memcpy(&value, &bits, 8);
        } else {
            return false;
        }
        char digits[400];
        const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
        out.assign(digits, end);
        return error == std::errc();
    }
    case kNumeric:
        return NumericToText(bytes, out);
    case kDate:
    case kTimestamp:
    case kTimestampTz:
        return DatetimeToText(oid, bytes, out);
    default:
        out.assign(bytes);
        return true;
    }
}

} // namespace

bool HasBinaryForm(uint32_t oid) {
    switch (oid) {
    case kBool:
    case kBytea:
    case kChar:
    case kName:
    case kInt8:
    case kInt2:
    case kInt4:
    case kText:
    case kFloat4:
    case kFloat8:
    case kBpchar:
    case kVarchar:
    case kDate:
    case kTimestamp:
    case kTimestampTz:
    case kNumeric:
        return true;
    default:
        return false;
    }
}

rdxc::ColumnType FieldTypeOf(uint32_t oid, int modifier) {
    switch (oid) {
    case kBool:
    case kInt2:
    case kInt4:
        return {RDTYPE_INT, 0, 0};
    case kInt8:
        return {RDTYPE_NUMERIC, 19, 0};
    case kFloat4:
    case kFloat8:
        return {RDTYPE_FLOAT, 0, 0};
    case kNumeric:
        if (modifier < 4) return {RDTYPE_NUMERIC, 0, 0};
        return {RDTYPE_NUMERIC, static_cast<uint32_t>(((modifier - 4) >> 16) & 0xFFFF),
                std::max(NumericScale(modifier), 0)};
    case kDate:
    case kTimestamp:
    case kTimestampTz:
        return {RDTYPE_DATETIME, 0, 0};
    case kBytea:
        return {RDTYPE_BINARY, 0, 0};
    default:
        return {RDTYPE_TEXT, 0, 0};
    }
}

int32_t NumericScale(int32_t modifier) {
    if (modifier < 4) return -1;
    // 11 bits with their sign (negative scales round before the point).
    return (((modifier - 4) & 0x7FF) ^ 1024) - 1024;
}

uint32_t AppendValue(const ColumnKind &column, uint32_t field, uint32_t type, uint32_t index,
                     const rdxc::ValueRules &rules, std::string &out, std::string &problem) {
    if (RDFieldIsNull(field, index) != 0) {
        Put32(out, 0xFFFFFFFFu);
        return RDSTATUS_OK;
    }
    const uint32_t oid = column.oid;
    switch (oid) {
    case kBool:
    case kInt2:
    case kInt4:
    case kInt8:
        return AppendInteger(oid, field, type, index, rules, out, problem);
    case kFloat4:
    case kFloat8:
        return AppendFloat(oid, field, type, index, rules, out, problem);
    case kNumeric:
        return AppendNumeric(column, field, type, index, rules, out, problem);
    case kDate:
    case kTimestamp:
    case kTimestampTz:
        return AppendDatetime(oid, field, type, index, rules, out, problem);
    default: {
        if (!HasBinaryForm(oid)) {
            problem = "the column's type has no binary form here";
            return RDSTATUS_BADKINDS;
        }
        if (type == RDTYPE_TEXT || type == RDTYPE_BINARY) {
            const RDStream *kept = nullptr;
            if (uint32_t status = StoredStream(field, index, kept); status != 0) return status;
            const RDStream &stream = *kept;
            // UTF-8, the session's client encoding, and bytes go as they are.
            if (type == RDTYPE_BINARY || stream.charset == RDCHARSET_INTERCHANGE) {
                PutBytes(out, std::string_view(reinterpret_cast<const char *>(stream.data),
                                               stream.data == nullptr ? 0 : stream.length));
                return RDSTATUS_OK;
            }
        }
        thread_local std::string text;
        if (uint32_t status = TextOf(field, type, index, rules, text); status != 0) return status;
        PutBytes(out, text);
        return RDSTATUS_OK;
    }
    }
}

uint32_t StoreValue(uint32_t oid, bool text, std::string_view bytes, uint32_t field, uint32_t type,
                    uint32_t index, rdxc::ValueRules &rules, std::string &problem) {
    if (type == RDTYPE_BINARY && (oid == kBytea || text))
        return StoreStream(field, index, RDKIND_BINARY, bytes);
    if (type == RDTYPE_TEXT && (text || !HasBinaryForm(oid) || oid == kBytea || oid == kText ||
                                oid == kVarchar || oid == kBpchar || oid == kName || oid == kChar))
        return StoreStream(field, index, RDCHARSET_INTERCHANGE, bytes);
    if (type == RDTYPE_DATETIME && (oid == kDate || oid == kTimestamp || oid == kTimestampTz)) {
        RDDatetime value{};
        bool rounded = false;
        if (text ? !DatetimeFromText(oid, bytes, value, problem, rounded)
                 : !DatetimeOf(oid, bytes, value, problem, rounded))
            return RDSTATUS_NOFIT;
        if (rounded) rules.CountRounded();
        return RDFieldSetDatetime(field, index, &value);
    }
    if (!text && type == RDTYPE_FLOAT && oid == kFloat8 && bytes.size() == 8) {
        const uint64_t bits = Get(bytes, 0, 8);
        double value = 0;
        std::memcpy(&value, &bits, 8);
        return RDFieldSetFloat(field, index, &value);
    }
    if (!text)
        if (const uint32_t status = StoreBinaryNumber(oid, bytes, field, type, index, rules);
            status != RDSTATUS_BADKINDS)
            return status;
    std::string converted;
    if (text) {
        converted.assign(bytes);
        if (oid == kBool && (converted == "t" || converted == "f"))
            converted = converted == "t" ? "1" : "0";
    } else if (!BinaryToText(oid, bytes, converted)) {
        problem = "the server's value is malformed";
        return RDSTATUS_NOFIT;
    }
    const uint32_t status = rdxc::TextToValue(field, type, index, converted, &rules);
    if (status != RDSTATUS_OK && status != RDSTATUS_NOMEMORY) {
        problem = rdxc::ValueProblem(field, type, converted, status);
        if (problem.empty())
            problem =
                "\"" + converted + "\" does not convert to a " + rdxc::ColumnTypeName({type, 0, 0});
    }
    return status;
}

} // namespace rdpg
