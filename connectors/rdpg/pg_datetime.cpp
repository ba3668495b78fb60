// SPDX-License-Identifier: Apache-2.0
// Date-times to and from the server's binary forms and ISO texts.
#include "pg_datetime.h"

#include "calendar.h"
#include "datetime_text.h"
#include "pg_binary.h"
#include "pg_wire.h"
#include "rdx_status.h"

#include <cstdio>

namespace rdpg {
namespace {

constexpr int64_t kMicrosPerDay = 86400LL * 1000000;
constexpr int64_t kInfinity = INT64_MAX;
// The engine's day numbers of 1752-09-14, its first Gregorian day, and of
// 2000-01-01, the server's day 0.
constexpr uint32_t kFirstGregorianDay = 2361222;
constexpr int64_t kDay2000 = 2451545;

// Days since 2000-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 - 10957;
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

// The parts (a date, and a time when hasTime) in the column's binary form.
uint32_t EncodeParts(uint32_t oid, const RDDatetimeParts &parts, bool hasTime, std::string &out,
                     std::string &problem) {
    problem = rdxc::GregorianDateProblem(parts.year, parts.month, parts.day, "PostgreSQL");
    if (!problem.empty()) return RDSTATUS_NOFIT;
    const int64_t day = DaysFromCivil(parts.year, parts.month, parts.day);
    if (oid == kDate) {
        Put32(out, 4);
        Put32(out, static_cast<uint32_t>(static_cast<int32_t>(day)));
        return RDSTATUS_OK;
    }
    const int64_t ticks =
        hasTime ? ((parts.hour * 60LL + parts.minute) * 60 + parts.second) * 100 + parts.hundredth
                : 0;
    Put32(out, 8);
    Put64(out, static_cast<uint64_t>(day * kMicrosPerDay + ticks * 10000));
    return RDSTATUS_OK;
}

// Splits the binary form into days and microseconds of the day (-1 for a
// date); false for an infinity or a malformed value.
bool Split(uint32_t oid, std::string_view bytes, int64_t &day, int64_t &micros) {
    micros = -1;
    if (oid == kDate) {
        if (bytes.size() != 4) return false;
        day = static_cast<int32_t>(Get(bytes, 0, 4));
        return day != INT32_MAX && day != INT32_MIN;
    }
    if (bytes.size() != 8) return false;
    const int64_t value = static_cast<int64_t>(Get(bytes, 0, 8));
    if (value == kInfinity || value == INT64_MIN) return false;
    day = value / kMicrosPerDay;
    micros = value % kMicrosPerDay;
    if (micros < 0) {
        micros += kMicrosPerDay;
        --day;
    }
    return true;
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
    // A universal time on a Gregorian day is its day number and ticks.
    if (split.date >> 24 == 0 && split.date >= kFirstGregorianDay &&
        (value.ticks == RDDT_ABSENT || value.ticks < RDDT_MAX_TICKS)) {
        const int64_t day = static_cast<int64_t>(split.date) - kDay2000;
        if (oid == kDate) {
            Put32(out, 4);
            Put32(out, static_cast<uint32_t>(static_cast<int32_t>(day)));
        } else {
            const int64_t ticks = value.ticks == RDDT_ABSENT ? 0 : value.ticks;
            Put32(out, 8);
            Put64(out, static_cast<uint64_t>(day * kMicrosPerDay + ticks * 10000));
        }
        return RDSTATUS_OK;
    }
    RDDatetimeParts parts{};
    if (RDDatetimeGetParts(&split, 0, &parts) != RDSTATUS_OK) {
        problem = "the date-time is not valid";
        return RDSTATUS_NOFIT;
    }
    return EncodeParts(oid, parts, value.ticks != RDDT_ABSENT, out, problem);
}

uint32_t EncodeDatetimeText(uint32_t oid, const rdxc::DatetimeText &text, std::string &out,
                            std::string &problem) {
    const RDDatetimeParts &parts = text.parts;
    if (parts.year < 0) {
        problem = "a time of day without a date does not fit the column";
        return RDSTATUS_NOFIT;
    }
    if (oid == kDate || parts.hour < 0) return EncodeParts(oid, parts, false, out, problem);
    problem = rdxc::GregorianDateProblem(parts.year, parts.month, parts.day, "PostgreSQL");
    if (!problem.empty()) return RDSTATUS_NOFIT;
    const int64_t micros = ((parts.hour * 60LL + parts.minute) * 60 + parts.second) * 1000000 +
                           text.micros - text.offsetMinutes * 60LL * 1000000;
    Put32(out, 8);
    Put64(out, static_cast<uint64_t>(
                   DaysFromCivil(parts.year, parts.month, parts.day) * kMicrosPerDay + micros));
    return RDSTATUS_OK;
}

bool DatetimeOf(uint32_t oid, std::string_view bytes, RDDatetime &value, std::string &problem,
                bool &rounded) {
    int64_t day = 0, micros = -1;
    rounded = false;
    if (!Split(oid, bytes, day, micros)) {
        problem = "the server's value is infinite or malformed: no date-time has it";
        return false;
    }
    // To the nearest hundredth, halves up; the last one of a day rounds
    // into the next day.
    int64_t ticks = micros >= 0 ? (micros + 5000) / 10000 : -1;
    rounded = micros >= 0 && micros % 10000 != 0;
    if (ticks == 8640000) ++day, ticks = 0;
    RDDatetimeParts parts{-1, -1, -1, -1, -1, -1, -1, -1, 0, 0};
    CivilFromDays(day, parts.year, parts.month, parts.day);
    if (ticks >= 0) {
        parts.hour = static_cast<int32_t>(ticks / 360000);
        parts.minute = static_cast<int32_t>(ticks / 6000 % 60);
        parts.second = static_cast<int32_t>(ticks / 100 % 60);
        parts.hundredth = static_cast<int32_t>(ticks % 100);
    }
    // Zone 0 without daylight saving: the parts are universal time.
    if (RDDatetimeSetParts(&value, &parts, 0) == RDSTATUS_OK) return true;
    problem = rdxc::EngineDateProblem(parts.year, parts.month, parts.day);
    if (problem.empty()) problem = "the date-time is outside the engine's calendar";
    return false;
}

// The server's ISO text of a date or timestamp ("YYYY-MM-DD[ HH:MM:SS[.f]]"
// with a zone suffix for timestamptz, in universal time here, and " BC"
// after a year before 1) in the binary form's terms.
bool DatetimeFromText(uint32_t oid, std::string_view text, RDDatetime &value, std::string &problem,
                      bool &rounded) {
    rounded = false;
    int y = 0, m = 0, d = 0, h = 0, mi = 0, sec = 0, used = 0;
    const std::string copy(text);
    const int read = std::sscanf(copy.c_str(), "%4d-%2d-%2d%n %2d:%2d:%2d%n", &y, &m, &d, &used, &h,
                                 &mi, &sec, &used);
    problem = "\"" + copy + "\" is not a date-time of the server's";
    if (read != 3 && read != 6) return false;
    if (copy.size() >= 3 && copy.compare(copy.size() - 3, 3, " BC") == 0) y = 1 - y;
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
        return DatetimeOf(kDate, bytes, value, problem, rounded);
    }
    const int64_t time = ((h * 60LL + mi) * 60 + sec) * 1000000 + micros;
    std::string bytes;
    Put64(bytes, static_cast<uint64_t>(DaysFromCivil(y, m, d) * kMicrosPerDay + time));
    return DatetimeOf(kTimestamp, bytes, value, problem, rounded);
}

bool DatetimeToText(uint32_t oid, std::string_view bytes, std::string &out) {
    int64_t day = 0, micros = -1;
    if (!Split(oid, bytes, day, micros)) {
        if (bytes.size() != (oid == kDate ? 4u : 8u)) return false;
        const bool positive = oid == kDate ? static_cast<int32_t>(Get(bytes, 0, 4)) > 0
                                           : static_cast<int64_t>(Get(bytes, 0, 8)) > 0;
        out = positive ? "infinity" : "-infinity";
        return true;
    }
    int32_t y = 0, m = 0, d = 0;
    CivilFromDays(day, y, m, d);
    char text[80];
    int length = std::snprintf(text, sizeof text, "%04d-%02d-%02d", y > 0 ? y : 1 - y, m, d);
    if (micros >= 0) {
        const int64_t seconds = micros / 1000000;
        length +=
            std::snprintf(text + length, sizeof text - length, " %02d:%02d:%02d",
                          static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                          static_cast<int>(seconds % 60));
        if (micros % 1000000 != 0) {
            length += std::snprintf(text + length, sizeof text - length, ".%06d",
                                    static_cast<int>(micros % 1000000));
            while (text[length - 1] == '0')
                text[--length] = '\0';
        }
        if (oid == kTimestampTz)
            length += std::snprintf(text + length, sizeof text - length, "+00");
    }
    out.assign(text, static_cast<size_t>(length));
    if (y <= 0) out += " BC";
    return true;
}

} // namespace rdpg
