// SPDX-License-Identifier: Apache-2.0
// Internals of the datetime values: the calendar, zones and daylight
// saving, and the conversions between a datetime and its parts.
#pragma once

#include "rdx_datetime.h"

#include <cstdint>

namespace rdx::dt {

// 0000-01-01 of the Julian calendar: the first day that splits into parts.
constexpr int64_t kFirstSplitDay = 1721058;
// 1752-09-14, the first day of the Gregorian calendar.
constexpr int64_t kFirstGregorianDay = 2361222;
constexpr int64_t kTicksPerDay = RDDT_MAX_TICKS;
constexpr int64_t kTicksPerMinute = 6000;
constexpr int64_t kTicksPerHour = 60 * kTicksPerMinute;
constexpr int32_t kLargestYear = 32767;
constexpr uint32_t kDayMask = 0x00FFFFFF;

struct CivilDate {
    int64_t year;
    int32_t month, day;
};

// Calendar: Julian up to 1752-09-02, Gregorian from 1752-09-14.
bool IsLeapYear(int64_t year);
int32_t DaysInMonth(int64_t year, int32_t month);
bool IsValidDate(int64_t year, int32_t month, int32_t day);
// Day number of a date from year 0 on (the date need not be valid).
int64_t DayFromCivil(int64_t year, int32_t month, int32_t day);
// Date of a day number from kFirstSplitDay - 1 on.
CivilDate CivilFromDay(int64_t day);
// 1 = Sunday ... 7 = Saturday.
int32_t Weekday(int64_t day);

// A zone as the zone byte holds it.
struct Zone {
    bool dst = false; // observes daylight saving
    bool east = false;
    int32_t hours = 0;    // 0-15
    int32_t quarters = 0; // 0-3
    int32_t Minutes() const { return (east ? 1 : -1) * (hours * 60 + quarters * 15); }
};

// Zone from the signed value hours + 100 * minutes; false when the byte
// cannot hold it (more than 15 hours, or more than 45 minutes).
bool ZoneFromValue(int32_t value, bool dst, Zone *zone);
int32_t ZoneValue(const Zone &zone);
uint32_t ZoneByte(const Zone &zone);
Zone ZoneFromByte(uint32_t byte);
// The zone of a datetime: its zone byte, or zone 0 without a date.
Zone OwnZone(const RDDatetime &datetime);

// Daylight saving time runs from the first Sunday of April, 02:00, to the
// last Sunday of October, 01:00 (local standard time).
int32_t FirstAprilSunday(int64_t year);
int32_t LastOctoberSunday(int64_t year);
bool InDaylight(const CivilDate &date, int32_t hour);

// True for RDDT_ZERONULL with RDDT_ONENULL, or RDDT_LOCALZONE with RDDT_UTC.
bool ConflictingFlags(uint32_t flags);

// Local parts to a datetime. dstObservance -1 takes zone and observance
// from the platform. Returns 0 or 12807; *out is written on success only.
uint32_t BuildFromParts(const RDDatetimeParts &parts, int32_t dstObservance, int32_t zone,
                        RDDatetime *out);
// A datetime to local parts in zone; absent halves give -1 parts. Returns
// 0 or 12807 (day number too small).
uint32_t SplitToParts(const RDDatetime &datetime, const Zone &zone, RDDatetimeParts *parts);

inline bool HasDate(const RDDatetime &datetime) {
    return datetime.date != RDDT_ABSENT;
}
inline bool HasTime(const RDDatetime &datetime) {
    return datetime.ticks != RDDT_ABSENT;
}

} // namespace rdx::dt
