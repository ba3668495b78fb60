// SPDX-License-Identifier: Apache-2.0
#include "calendar.h"

#include "rdx_datetime.h"

#include <cstdio>

namespace rdxc {

std::string DateText(int64_t year, int32_t month, int32_t day) {
    char text[48];
    // Years before 1 as PostgreSQL writes them: 0 is 1 BC.
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d%s",
                  static_cast<long long>(year > 0 ? year : 1 - year), month, day,
                  year > 0 ? "" : " BC");
    return text;
}

bool IsGregorianDate(int64_t year, int32_t month, int32_t day) {
    static const int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= (month == 2 && leap ? 29 : kDays[month - 1]);
}

std::string EngineDateProblem(int64_t year, int32_t month, int32_t day) {
    RDDatetimeParts parts{-1, -1, -1, -1, -1, -1, -1, -1, 0, 0};
    const bool representable = year >= INT32_MIN && year <= INT32_MAX;
    parts.year = static_cast<int32_t>(representable ? year : 0);
    parts.month = month;
    parts.day = day;
    RDDatetime value{};
    if (representable && RDDatetimeSetParts(&value, &parts, 0) == 0) return std::string();
    const std::string date = DateText(year, month, day);
    if (year == 1752 && month == 9 && day >= 3 && day <= 13)
        return date + " is not a date of the engine's calendar, which is Julian up to 1752-09-02 "
                      "and Gregorian from 1752-09-14: the days between do not exist in it";
    return date + " is outside the engine's calendar";
}

std::string GregorianDateProblem(int64_t year, int32_t month, int32_t day, const char *target) {
    if (IsGregorianDate(year, month, day)) return std::string();
    return DateText(year, month, day) + " is a date of the engine's calendar (Julian before " +
           "1752-09-14) that " + target +
           "'s calendar (proleptic Gregorian) does not have; it is refused, not moved to "
           "another day";
}

} // namespace rdxc
