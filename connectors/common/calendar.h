// SPDX-License-Identifier: Apache-2.0
// Dates between the engine's calendar and the targets'. The engine counts
// days in the Julian calendar up to 1752-09-02 and in the Gregorian one
// from 1752-09-14; the eleven days between do not exist in it. PostgreSQL
// (and SQLite's date functions) count in the proleptic Gregorian calendar.
// Dates cross by their text (year, month, day), so a date keeps the text it
// has; one that does not exist on the other side is refused with a message
// that names it, never moved to a neighbouring day.
#pragma once

#include <cstdint>
#include <string>

namespace rdxc {

// "YYYY-MM-DD" (the year of at least four digits), with " BC" after a
// year before 1 (year 0 is 1 BC).
std::string DateText(int64_t year, int32_t month, int32_t day);

// Whether year-month-day is a date of the proleptic Gregorian calendar.
bool IsGregorianDate(int64_t year, int32_t month, int32_t day);

// Why a date read from a source cannot become a value of the engine; empty
// when it can.
std::string EngineDateProblem(int64_t year, int32_t month, int32_t day);

// Why a date of the engine cannot go to a target of the proleptic
// Gregorian calendar (target names it, e.g. "PostgreSQL"); empty when it can.
std::string GregorianDateProblem(int64_t year, int32_t month, int32_t day, const char *target);

} // namespace rdxc
