// SPDX-License-Identifier: Apache-2.0
// Building a datetime from local parts: RDDatetimeSetParts,
// RDDatetimeSetCurrent and the conversion they share with adjustment.
//
// A value without a time stores the local calendar date as it is: its day
// is never shifted by a zone offset, so it does not depend on the hour at
// which it is built. Only a value with a time is converted to UTC.
#include "rdplat_intl.h"
#include "values/datetime_internal.h"

#include <initializer_list>

namespace rdx::dt {
namespace {

constexpr uint32_t kConflicting[] = {RDDT_ZERONULL | RDDT_ONENULL, RDDT_LOCALZONE | RDDT_UTC};

bool DateAbsent(const RDDatetimeParts &p) {
    return p.year == -1 || p.month == -1 || p.day == -1;
}

bool TimeAbsent(const RDDatetimeParts &p) {
    return p.hour == -1 || p.minute == -1 || p.second == -1 || p.hundredth == -1;
}

bool IsValidTime(const RDDatetimeParts &p) {
    return p.hour >= 0 && p.hour < 24 && p.minute >= 0 && p.minute < 60 && p.second >= 0 &&
           p.second < 60 && p.hundredth >= 0 && p.hundredth <= 99;
}

// Absent date parts are taken from the clock; absent time parts stay out of
// the computation (a value without a time is never shifted).
void FillAbsent(RDDatetimeParts &p) {
    if (DateAbsent(p)) {
        RDDatetimeParts now{-1, -1, -1, -1, -1, -1, -1, -1, 0, 0};
        RDPlatGetDatetime(&now);
        if (p.year == -1) p.year = now.year;
        if (p.month == -1) p.month = now.month;
        if (p.day == -1) p.day = now.day;
    }
    for (int32_t *part : {&p.hour, &p.minute, &p.second, &p.hundredth})
        if (*part == -1) *part = 0;
}

// Ticks of the local time in zone; *day moves when UTC is another day.
int64_t UtcTicks(RDDatetimeParts &p, const Zone &zone, const CivilDate &date, int64_t *day) {
    int32_t offset = zone.Minutes();
    if (zone.dst) {
        // The skipped hour of the April change day becomes its end, 03:00.
        if (date.month == 4 && date.day == FirstAprilSunday(date.year) && p.hour == 2) {
            p.hour = 3;
            p.minute = p.second = p.hundredth = 0;
        }
        if (InDaylight(date, p.hour)) offset += 60;
    }
    int64_t ticks =
        ((int64_t{p.hour} * 60 + p.minute - offset) * 60 + p.second) * 100 + p.hundredth;
    if (ticks < 0) {
        ticks += kTicksPerDay;
        --*day;
    } else if (ticks >= kTicksPerDay) {
        ticks -= kTicksPerDay;
        ++*day;
    }
    return ticks;
}

} // namespace

bool ConflictingFlags(uint32_t flags) {
    for (uint32_t pair : kConflicting)
        if ((flags & pair) == pair) return true;
    return false;
}

uint32_t BuildFromParts(const RDDatetimeParts &parts, int32_t dstObservance, int32_t zoneValue,
                        RDDatetime *out) {
    bool dst = dstObservance != 0;
    if (dstObservance == -1) {
        int32_t platformDst = 0;
        if (RDPlatGetTimeZone(&zoneValue, &platformDst) != RDSTATUS_OK) return RDSTATUS_NODATETIME;
        dst = platformDst != 0;
    }
    Zone zone;
    if (!ZoneFromValue(zoneValue, dst, &zone)) return RDSTATUS_NODATETIME;
    RDDatetimeParts p = parts;
    const bool dateAbsent = DateAbsent(p), timeAbsent = TimeAbsent(p);
    FillAbsent(p);
    if (!IsValidDate(p.year, p.month, p.day) || !IsValidTime(p)) return RDSTATUS_NODATETIME;
    const CivilDate date{p.year, p.month, p.day};
    int64_t day = DayFromCivil(date.year, date.month, date.day);
    RDDatetime result{RDDT_ABSENT, RDDT_ABSENT};
    if (!timeAbsent) result.ticks = static_cast<uint32_t>(UtcTicks(p, zone, date, &day));
    if (!dateAbsent) {
        if (day < 0 || day > RDDT_MAX_DAY) return RDSTATUS_NODATETIME;
        result.date = static_cast<uint32_t>(day) | ZoneByte(zone) << 24;
    }
    *out = result;
    return RDSTATUS_OK;
}

} // namespace rdx::dt

using namespace rdx::dt;

extern "C" RD_EXPORT uint32_t RDDatetimeSetParts(RDDatetime *datetime, const RDDatetimeParts *parts,
                                                 uint32_t flags) {
    if (datetime == nullptr || parts == nullptr) return RDSTATUS_NODATETIME;
    if (ConflictingFlags(flags)) return RDSTATUS_BADFLAGS;
    if (parts->year < -1 || parts->year > kLargestYear) {
        RDDatetimeSetConstant(datetime, parts->year < -1 ? RDDT_MINIMUM : RDDT_MAXIMUM);
        return RDSTATUS_NOFIT;
    }
    RDDatetimeParts p = *parts;
    if ((flags & (RDDT_ZERONULL | RDDT_ONENULL)) != 0) {
        const int32_t none = (flags & RDDT_ZERONULL) != 0 ? 0 : 1;
        if (p.year == none && p.month == none && p.day == none) p.year = p.month = p.day = -1;
        if (p.hour == 0 && p.minute == 0 && p.second == 0 && p.hundredth == 0)
            p.hour = p.minute = p.second = p.hundredth = -1;
    }
    int32_t zone = 0, dst = 0;
    if (p.year != -1) {
        if ((flags & (RDDT_LOCALZONE | RDDT_UTC)) != 0) {
            if (RDPlatGetTimeZone(&zone, &dst) != RDSTATUS_OK) return RDSTATUS_NOTIMEZONE;
            if ((flags & RDDT_UTC) != 0) zone = 0;
            dst = dst != 0 ? 1 : 0;
        } else {
            dst = p.dst != 0 ? 1 : 0;
            zone = p.zone;
        }
    }
    return BuildFromParts(p, dst, zone, datetime) == RDSTATUS_OK ? RDSTATUS_OK
                                                                 : RDSTATUS_NODATETIME;
}

extern "C" RD_EXPORT uint32_t RDDatetimeSetCurrent(RDDatetime *datetime) {
    if (datetime == nullptr) return RDSTATUS_NODATETIME;
    RDDatetimeParts now{-1, -1, -1, -1, -1, -1, -1, -1, 0, 0};
    if (uint32_t status = RDPlatGetDatetime(&now); status != RDSTATUS_OK) return status;
    return BuildFromParts(now, now.dst != 0 ? 1 : 0, now.zone, datetime) == RDSTATUS_OK
               ? RDSTATUS_OK
               : RDSTATUS_NODATETIME;
}
