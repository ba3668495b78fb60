// SPDX-License-Identifier: Apache-2.0
// Zones and the one daylight-saving rule.
#include "values/datetime_internal.h"

#include <cstdlib>

namespace rdx::dt {

bool ZoneFromValue(int32_t value, bool dst, Zone *zone) {
    const int64_t magnitude = std::llabs(static_cast<int64_t>(value));
    const int64_t hours = magnitude % 100;
    const int64_t quarters = magnitude / 100 / 15; // minutes rounded down to 15
    if (hours > 15 || quarters > 3) return false;
    *zone = Zone{dst, value > 0, static_cast<int32_t>(hours), static_cast<int32_t>(quarters)};
    return true;
}

int32_t ZoneValue(const Zone &zone) {
    const int32_t value = zone.hours + 100 * 15 * zone.quarters;
    return zone.east ? value : -value;
}

uint32_t ZoneByte(const Zone &zone) {
    return (zone.dst ? RDDT_ZONE_DST : 0) | (zone.east ? RDDT_ZONE_EAST : 0) |
           static_cast<uint32_t>(zone.quarters << 4 | zone.hours);
}

Zone ZoneFromByte(uint32_t byte) {
    return Zone{(byte & RDDT_ZONE_DST) != 0, (byte & RDDT_ZONE_EAST) != 0,
                static_cast<int32_t>(byte & 0x0F), static_cast<int32_t>(byte >> 4 & 3)};
}

Zone OwnZone(const RDDatetime &datetime) {
    return HasDate(datetime) ? ZoneFromByte(datetime.date >> 24) : Zone{};
}

int32_t FirstAprilSunday(int64_t year) {
    const int32_t weekday = Weekday(DayFromCivil(year, 4, 1));
    return 1 + (8 - weekday) % 7;
}

int32_t LastOctoberSunday(int64_t year) {
    return 31 - (Weekday(DayFromCivil(year, 10, 31)) - 1);
}

bool InDaylight(const CivilDate &date, int32_t hour) {
    if (date.month < 4 || date.month > 10) return false;
    if (date.month > 4 && date.month < 10) return true;
    if (date.month == 4) {
        const int32_t sunday = FirstAprilSunday(date.year);
        return date.day > sunday || (date.day == sunday && hour >= 2);
    }
    const int32_t sunday = LastOctoberSunday(date.year);
    return date.day < sunday || (date.day == sunday && hour < 1);
}

} // namespace rdx::dt
