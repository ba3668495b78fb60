// SPDX-License-Identifier: Apache-2.0
// Comparing datetimes and their differences in calendar and clock units.
#include "values/datetime_internal.h"

#include <limits>

using namespace rdx::dt;

namespace {

int32_t Sign(int64_t value) {
    return value > 0 ? 1 : value < 0 ? -1 : 0;
}

int64_t DayOf(const RDDatetime &datetime) {
    return datetime.date & kDayMask;
}

// Difference of the calendar parts of the two values, each split in its
// own zone.
uint32_t PartsDiff(const RDDatetime &first, const RDDatetime &second, int32_t unit, int64_t *diff) {
    RDDatetimeParts a, b;
    if (SplitToParts(first, OwnZone(first), &a) != RDSTATUS_OK ||
        SplitToParts(second, OwnZone(second), &b) != RDSTATUS_OK)
        return RDSTATUS_NODATETIME;
    const int64_t years = int64_t{a.year} - b.year;
    if (unit == RDDT_UNIT_YEAR) *diff = years;
    if (unit == RDDT_UNIT_MONTH) *diff = years * 12 + (a.month - b.month);
    if (unit == RDDT_UNIT_WEEKDAY) *diff = a.weekday - b.weekday;
    return RDSTATUS_OK;
}

// Differences of the clock units: ticks, plus whole days when both values
// have a date.
int64_t ClockDiff(const RDDatetime &first, const RDDatetime &second, int32_t unit) {
    const int64_t ticks = int64_t{first.ticks} - second.ticks;
    const int64_t days = HasDate(first) && HasDate(second) ? DayOf(first) - DayOf(second) : 0;
    switch (unit) {
    case RDDT_UNIT_HOUR:
        return ticks / kTicksPerHour + days * 24;
    case RDDT_UNIT_MINUTE:
        return ticks / kTicksPerMinute + days * 1440;
    case RDDT_UNIT_SECOND:
        return ticks / 100 + days * 86400;
    case RDDT_UNIT_HUNDREDTH:
        return ticks + days * kTicksPerDay;
    default:
        return int64_t{ZoneValue(OwnZone(first))} - ZoneValue(OwnZone(second));
    }
}

} // namespace

extern "C" {

RD_EXPORT uint32_t RDDatetimeCompare(const RDDatetime *first, const RDDatetime *second,
                                     int32_t *result) {
    if (result == nullptr) return RDSTATUS_NULLARG2;
    *result = 0;
    if (first == nullptr || second == nullptr) return RDSTATUS_NODATETIME;
    if (!HasDate(*first) || !HasDate(*second)) return RDSTATUS_OK;
    *result = Sign(DayOf(*first) - DayOf(*second));
    if (*result == 0 && HasTime(*first) && HasTime(*second))
        *result = Sign(int64_t{first->ticks} - second->ticks);
    return RDSTATUS_OK;
}

RD_EXPORT uint32_t RDDatetimeGetDiff(const RDDatetime *first, const RDDatetime *second,
                                     int32_t unit, int32_t *result) {
    if (result == nullptr) return RDSTATUS_NULLARG2;
    *result = 0;
    if (first == nullptr || second == nullptr) return RDSTATUS_NODATETIME;
    if (unit < RDDT_UNIT_YEAR || unit > RDDT_UNIT_ZONE) return RDSTATUS_NOFIT;
    int64_t diff = 0;
    if (unit <= RDDT_UNIT_WEEKDAY) {
        if (!HasDate(*first) || !HasDate(*second)) return RDSTATUS_OK;
        if (unit == RDDT_UNIT_DAY) {
            diff = DayOf(*first) - DayOf(*second);
        } else if (uint32_t status = PartsDiff(*first, *second, unit, &diff); status != 0) {
            return status;
        }
    } else {
        if (!HasTime(*first) || !HasTime(*second)) return RDSTATUS_OK;
        diff = ClockDiff(*first, *second, unit);
    }
    // A difference beyond 32 bits is clamped rather than wrapped.
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    if (diff > kMax || diff < kMin) {
        *result = static_cast<int32_t>(diff > kMax ? kMax : kMin);
        return RDSTATUS_NOFIT;
    }
    *result = static_cast<int32_t>(diff);
    return RDSTATUS_OK;
}

} // extern "C"
