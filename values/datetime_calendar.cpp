// SPDX-License-Identifier: Apache-2.0
// The calendar of day numbers (Julian Day Numbers): Julian up to
// 1752-09-02, Gregorian from 1752-09-14, the eleven days between missing.
#include "values/datetime_internal.h"

namespace rdx::dt {
namespace {

constexpr int8_t kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool IsGregorian(int64_t year, int32_t month, int32_t day) {
    if (year != 1752) return year > 1752;
    return month > 9 || (month == 9 && day >= 14);
}

} // namespace

bool IsLeapYear(int64_t year) {
    if (year <= 1752) return year % 4 == 0;
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t DaysInMonth(int64_t year, int32_t month) {
    return month == 2 && IsLeapYear(year) ? 29 : kMonthDays[month - 1];
}

bool IsValidDate(int64_t year, int32_t month, int32_t day) {
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    return !(year == 1752 && month == 9 && day >= 3 && day <= 13);
}

int64_t DayFromCivil(int64_t year, int32_t month, int32_t day) {
    // Years counted from March of 4801 BC keep every quotient non-negative.
    const int64_t a = (14 - month) / 12;
    const int64_t y = year + 4800 - a;
    const int64_t m = month + 12 * a - 3;
    const int64_t base = day + (153 * m + 2) / 5 + 365 * y + y / 4;
    return IsGregorian(year, month, day) ? base - y / 100 + y / 400 - 32045 : base - 32083;
}

CivilDate CivilFromDay(int64_t day) {
    int64_t c, century = 0;
    if (day >= kFirstGregorianDay) {
        const int64_t a = day + 32044;
        century = (4 * a + 3) / 146097;
        c = a - 146097 * century / 4;
    } else {
        c = day + 32082;
    }
    const int64_t d = (4 * c + 3) / 1461;
    const int64_t e = c - 1461 * d / 4;
    const int64_t m = (5 * e + 2) / 153;
    return CivilDate{100 * century + d - 4800 + m / 10, static_cast<int32_t>(m + 3 - 12 * (m / 10)),
                     static_cast<int32_t>(e - (153 * m + 2) / 5 + 1)};
}

int32_t Weekday(int64_t day) {
    return static_cast<int32_t>((day + 1) % 7 + 1);
}

} // namespace rdx::dt
