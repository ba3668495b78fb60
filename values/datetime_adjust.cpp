// SPDX-License-Identifier: Apache-2.0
// Moving a datetime by years, months, days and clock units.
#include "values/datetime_internal.h"

using namespace rdx::dt;

namespace {

enum Delta { kYears, kMonths, kDays, kUnused, kHours, kMinutes, kSeconds, kHundredths };

// Adds the clock units to ticks; returns the whole days carried (negative
// when borrowed). A result of exactly 24:00:00.00 stays.
int64_t AddClock(uint32_t *ticks, const int32_t delta[8]) {
    int64_t t = int64_t{*ticks} + delta[kHours] * kTicksPerHour +
                delta[kMinutes] * kTicksPerMinute + int64_t{delta[kSeconds]} * 100 +
                delta[kHundredths];
    int64_t carried = 0;
    if (t > kTicksPerDay) {
        carried = t / kTicksPerDay;
        t %= kTicksPerDay;
    } else if (t < 0) {
        carried = -((-t + kTicksPerDay - 1) / kTicksPerDay);
        t -= carried * kTicksPerDay;
    }
    *ticks = static_cast<uint32_t>(t);
    return carried;
}

// Moves the month by months, carrying whole years.
void AddMonths(RDDatetimeParts &p, int64_t years, int64_t months, int64_t *year) {
    int64_t month = p.month - 1 + months;
    int64_t carry = month / 12;
    month %= 12;
    if (month < 0) {
        month += 12;
        --carry;
    }
    p.month = static_cast<int32_t>(month + 1);
    *year = p.year + years + carry;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDDatetimeAdjust(RDDatetime *datetime, const int32_t delta[8]) {
    if (datetime == nullptr || delta == nullptr) return RDSTATUS_NODATETIME;
    RDDatetime value = *datetime;
    int64_t carried = 0;
    if (HasTime(value)) carried = AddClock(&value.ticks, delta);
    if (!HasDate(value) ||
        (carried == 0 && delta[kDays] == 0 && delta[kMonths] == 0 && delta[kYears] == 0)) {
        *datetime = value;
        return RDSTATUS_OK;
    }
    const int64_t day = (value.date & kDayMask) + int64_t{delta[kDays]} + carried;
    if (day < 0 || day > RDDT_MAX_DAY) return RDSTATUS_NODATETIME;
    value.date = (value.date & ~kDayMask) | static_cast<uint32_t>(day);
    const Zone zone = OwnZone(value);
    RDDatetimeParts p;
    if (SplitToParts(value, zone, &p) != RDSTATUS_OK) return RDSTATUS_NODATETIME;
    if (delta[kMonths] != 0 || delta[kYears] != 0) {
        int64_t year = 0;
        AddMonths(p, delta[kYears], delta[kMonths], &year);
        if (year < 1 || year > kLargestYear) return RDSTATUS_NODATETIME;
        p.year = static_cast<int32_t>(year);
    }
    // A day the month lacks falls back to the month's last day.
    while (BuildFromParts(p, zone.dst ? 1 : 0, ZoneValue(zone), &value) != RDSTATUS_OK) {
        if (--p.day < 28) return RDSTATUS_NODATETIME;
    }
    *datetime = value;
    return RDSTATUS_OK;
}
