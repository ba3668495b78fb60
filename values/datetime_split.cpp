// SPDX-License-Identifier: Apache-2.0
// Splitting a datetime into local parts: RDDatetimeGetParts.
#include "rdplat_intl.h"
#include "values/datetime_internal.h"

#include <initializer_list>

#include <cstring>

namespace rdx::dt {
namespace {

constexpr RDDatetimeParts kAbsentParts{-1, -1, -1, -1, -1, -1, -1, -1, 0, 0};

void SetDate(RDDatetimeParts &p, int64_t day, CivilDate *date) {
    *date = CivilFromDay(day);
    p.year = static_cast<int32_t>(date->year);
    p.month = date->month;
    p.day = date->day;
    p.weekday = Weekday(day);
}

// Splits UTC ticks on day at offset minutes east into local parts.
void SplitLocal(RDDatetimeParts &p, int64_t day, uint32_t ticks, int32_t offset, CivilDate *date) {
    int64_t local = ticks + int64_t{offset} * kTicksPerMinute;
    int64_t shift = local / kTicksPerDay;
    if (local < 0) --shift;
    local -= shift * kTicksPerDay;
    const auto t = static_cast<int32_t>(local);
    p.hundredth = t % 100;
    p.second = t / 100 % 60;
    p.minute = t / 6000 % 60;
    p.hour = t / 360000;
    SetDate(p, day + shift, date);
}

} // namespace

uint32_t SplitToParts(const RDDatetime &datetime, const Zone &zone, RDDatetimeParts *parts) {
    RDDatetimeParts p = kAbsentParts;
    const bool hasDate = HasDate(datetime), hasTime = HasTime(datetime);
    const int64_t day = hasDate ? datetime.date & kDayMask : kFirstSplitDay;
    if (day < kFirstSplitDay) return RDSTATUS_NODATETIME;
    CivilDate date{};
    if (hasDate) p.zone = ZoneValue(zone);
    if (hasTime) {
        // Without a date the time is UTC: there is no zone to apply.
        const int32_t offset = hasDate ? zone.Minutes() : 0;
        SplitLocal(p, day, datetime.ticks, offset, &date);
        if (hasDate && zone.dst && InDaylight(date, p.hour)) {
            SplitLocal(p, day, datetime.ticks, offset + 60, &date);
            p.dst = 1;
        }
    } else if (hasDate) {
        // A date alone is the local date as stored; daylight saving is
        // reported as at noon of that day.
        SetDate(p, day, &date);
        p.dst = zone.dst && InDaylight(date, 12) ? 1 : 0;
    }
    // The day before the first one (a zone west of UTC) has no year.
    if (hasDate && date.year < 0) return RDSTATUS_NODATETIME;
    if (!hasDate) p.year = p.month = p.day = p.weekday = -1;
    *parts = p;
    return RDSTATUS_OK;
}

} // namespace rdx::dt

using namespace rdx::dt;

namespace {

uint32_t Fail(RDDatetimeParts *parts, uint32_t status) {
    if (parts != nullptr) std::memset(parts, 0, sizeof *parts);
    return status;
}

// Absent parts as the null flags write them.
void ApplyNullFlags(RDDatetimeParts &p, uint32_t flags) {
    if ((flags & (RDDT_ZERONULL | RDDT_ONENULL)) == 0) return;
    const int32_t none = (flags & RDDT_ZERONULL) != 0 ? 0 : 1;
    for (int32_t *part : {&p.year, &p.month, &p.day, &p.weekday})
        if (*part == -1) *part = none;
    for (int32_t *part : {&p.hour, &p.minute, &p.second, &p.hundredth})
        if (*part == -1) *part = 0;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDDatetimeGetParts(const RDDatetime *datetime, uint32_t flags,
                                                 RDDatetimeParts *parts) {
    if (datetime == nullptr) return Fail(parts, RDSTATUS_NODATETIME);
    if (parts == nullptr) return RDSTATUS_NULLARG1;
    if (ConflictingFlags(flags)) return Fail(parts, RDSTATUS_BADFLAGS);
    Zone zone = OwnZone(*datetime);
    if (HasDate(*datetime) && (flags & (RDDT_LOCALZONE | RDDT_UTC)) != 0) {
        int32_t value = 0, dst = 0;
        if (RDPlatGetTimeZone(&value, &dst) != RDSTATUS_OK) return Fail(parts, RDSTATUS_NOTIMEZONE);
        if ((flags & RDDT_UTC) != 0) value = 0;
        if (!ZoneFromValue(value, dst != 0, &zone)) return Fail(parts, RDSTATUS_NODATETIME);
    }
    RDDatetimeParts p;
    if (SplitToParts(*datetime, zone, &p) != RDSTATUS_OK) return Fail(parts, RDSTATUS_NODATETIME);
    ApplyNullFlags(p, flags);
    *parts = p;
    return RDSTATUS_OK;
}
