// Date-times to and from the server's binary forms and ISO texts.
#include "pg_datetime.h"

#include "pg_binary.h"
#include "pg_wire.h"
#include "rdx_status.h"

#include <cstdio>

namespace rdpg {
namespace {

// The server's epoch, 2000-01-01, as a Julian Day Number.
constexpr int64_t kEpochDay = 2451545;
constexpr int64_t kMicrosPerDay = 86400LL * 1000000;

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
} // namespace

uint32_t EncodeDatetime(uint32_t oid, const RDDatetime &value, std::string &out,
                        std::string &problem) {
    if (value.date == RDDT_ABSENT) {
        problem = "a time of day without a date does not fit the column";
        return RDSTATUS_NOFIT;
    }
    // timestamptz takes the instant, kept in universal time under the zone
    // byte; date and timestamp the wall-clock time of the zone the value was
    // made in, as the other connectors write it.
    RDDatetime split = value;
    if (oid == kTimestampTz) split.date &= RDDT_MAX_DAY;
    RDDatetimeParts parts{};
    if (RDDatetimeGetParts(&split, 0, &parts) != RDSTATUS_OK) {
        problem = "the date-time is not valid";
        return RDSTATUS_NOFIT;
    }
    const int64_t day = DaysFromCivil(parts.year, parts.month, parts.day);
    if (oid == kDate) {
        Put32(out, 4);
        Put32(out, static_cast<uint32_t>(static_cast<int32_t>(day)));
        return RDSTATUS_OK;
    }
    // The time of day of the same parts as the date.
    const int64_t ticks =
        value.ticks == RDDT_ABSENT
            ? 0
            : ((parts.hour * 60LL + parts.minute) * 60 + parts.second) * 100 + parts.hundredth;
    Put32(out, 8);
    Put64(out, static_cast<uint64_t>(day * kMicrosPerDay + ticks * 10000));
    return RDSTATUS_OK;
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
    // Zone 0 without daylight saving: the parts are universal time.
    return RDDatetimeSetParts(&value, &parts, 0) == RDSTATUS_OK;
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

} // namespace rdpg
