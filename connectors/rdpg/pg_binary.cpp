#include "pg_binary.h"

#include "datetime_text.h"
#include "owned_stream.h"
#include "rdx_datetime.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace rdpg {
namespace {

// The server's epoch, 2000-01-01, as a Julian Day Number.
constexpr int64_t kEpochDay = 2451545;
constexpr int64_t kMicrosPerDay = 86400LL * 1000000;
constexpr uint16_t kNegative = 0x4000;

// The server counts days in the proleptic Gregorian calendar, the engine's
// day numbers follow the Julian calendar before the 1752 reform: dates are
// exchanged by year, month and day, so that a date keeps its text.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 - 10957; // days since 2000-01-01
}
void CivilFromDays(int64_t z, int32_t &y, int32_t &m, int32_t &d) {
    z += 10957 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int32_t>(yoe + era * 400 + (m <= 2));
}

void Put16(std::string &out, uint16_t v) {
    const char bytes[2] = {static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(bytes, 2);
}
void Put32(std::string &out, uint32_t v) {
    const char bytes[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(bytes, 4);
}
void Put64(std::string &out, uint64_t v) {
    Put32(out, static_cast<uint32_t>(v >> 32));
    Put32(out, static_cast<uint32_t>(v));
}
uint64_t Get(std::string_view bytes, size_t at, size_t size) {
    uint64_t v = 0;
    for (size_t i = at; i < at + size; ++i)
        v = (v << 8) | static_cast<unsigned char>(bytes[i]);
    return v;
}

// The value with its length word in front.
void PutBytes(std::string &out, std::string_view bytes) {
    Put32(out, static_cast<uint32_t>(bytes.size()));
    out.append(bytes);
}

uint32_t TextOf(uint32_t field, uint32_t type, uint32_t index, std::string &out) {
    if (type == RDTYPE_TEXT || type == RDTYPE_BINARY) {
        void *value = nullptr;
        uint32_t *indicator = nullptr;
        if (uint32_t status = RDFieldGetBuffer(field, index, &value, &indicator); status != 0)
            return status;
        const RDStream &stream = *static_cast<const RDStream *>(value);
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
    return rdxc::ValueToText(field, type, index, out, isNull);
}

uint32_t AppendInteger(uint32_t oid, uint32_t field, uint32_t type, uint32_t index,
                       std::string &out, std::string &problem) {
    int64_t value = 0;
    if (type == RDTYPE_INT) {
        int32_t small = 0;
        uint32_t isNull = 0;
        if (uint32_t status = RDFieldGetInt(field, index, &small, &isNull); status != 0)
            return status;
        value = small;
    } else {
        std::string text;
        if (uint32_t status = TextOf(field, type, index, text); status != 0) return status;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size()) {
            problem = "\"" + text + "\" is not a whole number";
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

uint32_t AppendFloat(uint32_t oid, uint32_t field, uint32_t type, uint32_t index, std::string &out,
                     std::string &problem) {
    double value = 0;
    uint32_t isNull = 0;
    if (type == RDTYPE_FLOAT || type == RDTYPE_INT) {
        if (uint32_t status = RDFieldGetFloat(field, index, &value, &isNull); status != 0)
            return status;
    } else {
        std::string text;
        if (uint32_t status = TextOf(field, type, index, text); status != 0) return status;
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
                        std::string &out, std::string &problem) {
    RDDatetime value{};
    uint32_t isNull = 0;
    if (type == RDTYPE_DATETIME) {
        if (uint32_t status = RDFieldGetDatetime(field, index, &value, &isNull); status != 0)
            return status;
    } else {
        std::string text;
        if (uint32_t status = TextOf(field, type, index, text); status != 0) return status;
        if (!rdxc::ParseDatetime(text, value)) {
            problem = "\"" + text + "\" is not a date-time";
            return RDSTATUS_NOFIT;
        }
    }
    if (value.date == RDDT_ABSENT) {
        problem = "a time of day without a date does not fit the column";
        return RDSTATUS_NOFIT;
    }
    RDDatetimeParts parts{};
    if (RDDatetimeGetParts(&value, RDDT_UTC, &parts) != RDSTATUS_OK) {
        problem = "the date-time is not valid";
        return RDSTATUS_NOFIT;
    }
    const int64_t day = DaysFromCivil(parts.year, parts.month, parts.day);
    if (oid == kDate) {
        Put32(out, 4);
        Put32(out, static_cast<uint32_t>(static_cast<int32_t>(day)));
        return RDSTATUS_OK;
    }
    const int64_t ticks = value.ticks == RDDT_ABSENT ? 0 : value.ticks;
    Put32(out, 8);
    Put64(out, static_cast<uint64_t>(day * kMicrosPerDay + ticks * 10000));
    return RDSTATUS_OK;
}

uint32_t AppendNumeric(uint32_t field, uint32_t type, uint32_t index, std::string &out,
                       std::string &problem) {
    // Kept between values: no allocation per value once they have grown.
    thread_local std::string text, bytes;
    if (uint32_t status = TextOf(field, type, index, text); status != 0) return status;
    if (!NumericFromText(text, bytes)) {
        problem = "\"" + text + "\" is not a decimal number";
        return RDSTATUS_NOFIT;
    }
    PutBytes(out, bytes);
    return RDSTATUS_OK;
}

uint32_t StoreStream(uint32_t field, uint32_t index, uint32_t charset, std::string_view bytes) {
    rdxc::OwnedStream stream;
    if (uint32_t status = stream.Set(charset, bytes); status != 0) return status;
    return RDFieldSetStream(field, index, stream.get());
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
    default:
        out.assign(bytes);
        return true;
    }
}

bool DatetimeOf(uint32_t oid, std::string_view bytes, RDDatetime &value) {
    int64_t day = 0, ticks = -1;
    if (oid == kDate) {
        if (bytes.size() != 4) return false;
        day = static_cast<int32_t>(Get(bytes, 0, 4));
        if (day == INT32_MAX || day == INT32_MIN) return false; // infinity
    } else {
        if (bytes.size() != 8) return false;
        const int64_t micros = static_cast<int64_t>(Get(bytes, 0, 8));
        if (micros == INT64_MAX || micros == INT64_MIN) return false; // infinity
        day = micros / kMicrosPerDay;
        int64_t rest = micros % kMicrosPerDay;
        if (rest < 0) {
            rest += kMicrosPerDay;
            --day;
        }
        ticks = rest / 10000;
    }
    if (day < -kEpochDay || day > static_cast<int64_t>(RDDT_MAX_DAY)) return false;
    RDDatetimeParts parts{-1, -1, -1, -1, -1, -1, -1, -1, 0, 0};
    CivilFromDays(day, parts.year, parts.month, parts.day);
    if (ticks >= 0) {
        parts.hour = static_cast<int32_t>(ticks / 360000);
        parts.minute = static_cast<int32_t>(ticks / 6000 % 60);
        parts.second = static_cast<int32_t>(ticks / 100 % 60);
        parts.hundredth = static_cast<int32_t>(ticks % 100);
    }
    return RDDatetimeSetParts(&value, &parts, RDDT_UTC) == RDSTATUS_OK;
}

// The server's ISO text of a date or timestamp ("YYYY-MM-DD[ HH:MM:SS[.f]]"
// with a zone suffix for timestamptz, in universal time here) in the
// binary form's terms.
bool DatetimeFromText(uint32_t oid, std::string_view text, RDDatetime &value) {
    int y = 0, m = 0, d = 0, h = 0, mi = 0, sec = 0, used = 0;
    const std::string copy(text);
    const int read = std::sscanf(copy.c_str(), "%4d-%2d-%2d%n %2d:%2d:%2d%n", &y, &m, &d, &used, &h,
                                 &mi, &sec, &used);
    if (read != 3 && read != 6) return false;
    int64_t micros = 0;
    if (read == 6 && static_cast<size_t>(used) < copy.size() && copy[used] == '.') {
        int64_t scale = 100000;
        for (size_t i = used + 1; i < copy.size() && copy[i] >= '0' && copy[i] <= '9'; ++i) {
            micros += (copy[i] - '0') * scale;
            scale /= 10;
        }
    }
    if (oid == kDate || read == 3) {
        if (read != 3 && oid == kDate) return false;
        std::string bytes;
        Put32(bytes, static_cast<uint32_t>(static_cast<int32_t>(DaysFromCivil(y, m, d))));
        return DatetimeOf(kDate, bytes, value);
    }
    const int64_t time = ((h * 60LL + mi) * 60 + sec) * 1000000 + micros;
    std::string bytes;
    Put64(bytes, static_cast<uint64_t>(DaysFromCivil(y, m, d) * kMicrosPerDay + time));
    return DatetimeOf(kTimestamp, bytes, value);
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
                static_cast<int32_t>((modifier - 4) & 0xFFFF)};
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

std::string DeclaredTypeOf(uint32_t field, uint32_t type) {
    switch (type) {
    case RDTYPE_INT:
        return "integer";
    case RDTYPE_FLOAT:
        return "double precision";
    case RDTYPE_CURRENCY:
        return "numeric(19,4)";
    case RDTYPE_NUMERIC: {
        uint32_t precision = 0, scale = 0;
        RDFieldGetFormatNumber(field, nullptr, nullptr, &precision, &scale);
        if (precision == 0) return "numeric";
        return "numeric(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    }
    case RDTYPE_DATETIME:
        return "timestamp";
    case RDTYPE_BINARY:
        return "bytea";
    default:
        return "text";
    }
}

uint32_t AppendValue(uint32_t oid, uint32_t field, uint32_t type, uint32_t index, std::string &out,
                     std::string &problem) {
    if (RDFieldIsNull(field, index) != 0) {
        Put32(out, 0xFFFFFFFFu);
        return RDSTATUS_OK;
    }
    switch (oid) {
    case kBool:
    case kInt2:
    case kInt4:
    case kInt8:
        return AppendInteger(oid, field, type, index, out, problem);
    case kFloat4:
    case kFloat8:
        return AppendFloat(oid, field, type, index, out, problem);
    case kNumeric:
        return AppendNumeric(field, type, index, out, problem);
    case kDate:
    case kTimestamp:
    case kTimestampTz:
        return AppendDatetime(oid, field, type, index, out, problem);
    default: {
        if (!HasBinaryForm(oid)) {
            problem = "the column's type has no binary form here";
            return RDSTATUS_BADKINDS;
        }
        thread_local std::string text;
        if (uint32_t status = TextOf(field, type, index, text); status != 0) return status;
        PutBytes(out, text);
        return RDSTATUS_OK;
    }
    }
}

uint32_t StoreValue(uint32_t oid, bool text, std::string_view bytes, uint32_t field, uint32_t type,
                    uint32_t index, std::string &problem) {
    if (type == RDTYPE_BINARY && (oid == kBytea || text))
        return StoreStream(field, index, RDKIND_BINARY, bytes);
    if (type == RDTYPE_TEXT && (text || !HasBinaryForm(oid) || oid == kBytea || oid == kText ||
                                oid == kVarchar || oid == kBpchar || oid == kName || oid == kChar))
        return StoreStream(field, index, RDCHARSET_INTERCHANGE, bytes);
    if (type == RDTYPE_DATETIME && (oid == kDate || oid == kTimestamp || oid == kTimestampTz)) {
        RDDatetime value{};
        if (text ? !DatetimeFromText(oid, bytes, value) : !DatetimeOf(oid, bytes, value)) {
            problem = "the date-time is outside the engine's calendar";
            return RDSTATUS_NOFIT;
        }
        return RDFieldSetDatetime(field, index, &value);
    }
    if (!text && type == RDTYPE_FLOAT && oid == kFloat8 && bytes.size() == 8) {
        const uint64_t bits = Get(bytes, 0, 8);
        double value = 0;
        std::memcpy(&value, &bits, 8);
        return RDFieldSetFloat(field, index, &value);
    }
    std::string converted;
    if (text) {
        converted.assign(bytes);
        if (oid == kBool && (converted == "t" || converted == "f"))
            converted = converted == "t" ? "1" : "0";
    } else if (!BinaryToText(oid, bytes, converted)) {
        problem = "the server's value is malformed";
        return RDSTATUS_NOFIT;
    }
    const uint32_t status = rdxc::TextToValue(field, type, index, converted);
    if (status != RDSTATUS_OK && status != RDSTATUS_NOMEMORY)
        problem =
            "\"" + converted + "\" does not convert to a " + rdxc::ColumnTypeName({type, 0, 0});
    return status;
}

// [-]digits[.digits] into base-10000 groups around the decimal point.
bool NumericFromText(std::string_view text, std::string &out) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const size_t point = std::min(text.find('.'), text.size());
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point < text.size() ? text.substr(point + 1) : "";
    if (whole.empty() && fraction.empty()) return false;
    const size_t scale = fraction.size();
    // Digit k of the number, counted from the first group's first digit
    // (whole part padded in front, fraction behind, with zeros).
    const size_t lead = (4 - whole.size() % 4) % 4;
    const size_t wholeGroups = (whole.size() + lead) / 4;
    const size_t groupCount = wholeGroups + (scale + 3) / 4;
    uint16_t groups[512];
    if (groupCount > sizeof groups / sizeof groups[0]) return false;
    for (size_t g = 0; g < groupCount; ++g) {
        uint16_t value = 0;
        for (size_t k = g * 4; k < g * 4 + 4; ++k) {
            char c = '0';
            if (k >= lead && k - lead < whole.size())
                c = whole[k - lead];
            else if (k >= lead + whole.size() && k - lead - whole.size() < scale)
                c = fraction[k - lead - whole.size()];
            if (c < '0' || c > '9') return false;
            value = static_cast<uint16_t>(value * 10 + (c - '0'));
        }
        groups[g] = value;
    }
    int weight = static_cast<int>(wholeGroups) - 1;
    size_t begin = 0, end = groupCount;
    while (begin < end && groups[begin] == 0) {
        ++begin;
        --weight;
    }
    while (end > begin && groups[end - 1] == 0)
        --end;
    if (begin == end) weight = 0;
    if (scale > 0x3FFF || weight > 0x7FFF) return false;
    out.clear();
    Put16(out, static_cast<uint16_t>(end - begin));
    Put16(out, static_cast<uint16_t>(static_cast<int16_t>(weight)));
    Put16(out, begin == end ? 0 : negative ? kNegative : 0);
    Put16(out, static_cast<uint16_t>(scale));
    for (size_t i = begin; i < end; ++i)
        Put16(out, groups[i]);
    return true;
}

bool NumericToText(std::string_view bytes, std::string &out) {
    if (bytes.size() < 8) return false;
    const size_t count = Get(bytes, 0, 2);
    const int weight = static_cast<int16_t>(Get(bytes, 2, 2));
    const uint16_t sign = static_cast<uint16_t>(Get(bytes, 4, 2));
    const size_t scale = Get(bytes, 6, 2);
    if (bytes.size() != 8 + 2 * count || (sign != 0 && sign != kNegative)) return false;
    auto group = [&](int i) -> uint16_t {
        return i >= 0 && static_cast<size_t>(i) < count
                   ? static_cast<uint16_t>(Get(bytes, 8 + 2 * i, 2))
                   : 0;
    };
    out = sign == kNegative ? "-" : "";
    if (weight < 0) {
        out += '0';
    } else {
        for (int i = 0; i <= weight; ++i) {
            const uint16_t g = group(i);
            if (g > 9999) return false;
            std::string four = std::to_string(g);
            if (i > 0) four.insert(0, 4 - four.size(), '0');
            out += four;
        }
    }
    if (scale > 0) {
        out += '.';
        std::string fraction;
        for (int i = weight + 1; fraction.size() < scale; ++i) {
            if (group(i) > 9999) return false;
            std::string four = std::to_string(group(i));
            fraction += std::string(4 - four.size(), '0') + four;
        }
        out += fraction.substr(0, scale);
    }
    return true;
}

std::string QuoteName(std::string_view name) {
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"') quoted += c;
    }
    return quoted + "\"";
}

} // namespace rdpg
