// SPDX-License-Identifier: Apache-2.0
// Date-times as ISO 8601 texts, read as people write them and written in
// one form.
//
// Read: "YYYY-MM-DD", "HH:MM[:SS[.f]]" or both, joined by 'T' or a blank;
// the compact "YYYYMMDD" and "YYYYMMDDTHHMM[SS[.f]]"; a fraction of any
// length after '.' or ','; after a time, "Z" or an offset "+HH", "+HHMM"
// or "+HH:MM" (or '-'). A text without a zone is universal time; one with
// a zone is converted to universal time, the zone every connector of this
// project takes texts in. The engine keeps hundredths: a finer fraction is
// rounded to the nearest hundredth (halves up), and the reader says so.
//
// Written: "YYYY-MM-DD", "HH:MM:SS[.hh]" or "YYYY-MM-DD HH:MM:SS[.hh]",
// the time of the zone the value was made in (universal time for values
// read here), so values read come back unchanged.
#pragma once

#include "rdx_datetime.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rdxc {

// A date-time text taken apart. parts.year < 0: no date; parts.hour < 0:
// no time. The fraction is kept apart from parts (whose hundredth is 0).
struct DatetimeText {
    RDDatetimeParts parts{-1, -1, -1, -1, -1, -1, -1, 0, 0, 0};
    int32_t hundredths = 0; // the fraction rounded to hundredths, 0-100
    int32_t micros = 0;     // the fraction rounded to microseconds, 0-1000000
    bool rounded = false;   // it had non-zero digits beyond the hundredth
    bool zoned = false;     // a zone was given: offsetMinutes east of UTC
    int32_t offsetMinutes = 0;
};

// Reads the ISO forms above, checking the ranges of the parts but not the
// date against a calendar.
bool ReadDatetimeText(std::string_view text, DatetimeText &out);
// The pieces of a reader, at at and moved past what they read: the digits
// of a fraction (rounded to hundredths and to microseconds), and a zone
// "Z", "+HH", "+HHMM" or "+HH:MM" (or '-').
void ReadFraction(std::string_view text, size_t &at, DatetimeText &out);
bool ReadZone(std::string_view text, size_t &at, DatetimeText &out);
// Whether the parts read lie in their ranges (month 1-12, day 1-31, hour
// 0-23 or 24:00:00 exactly, minute and second 0-59).
bool PartsInRange(const DatetimeText &text);
// The value (zone 0) of the parts: the fraction's hundredths added and the
// offset taken off. False outside the engine's calendar.
bool DatetimeValue(const DatetimeText &text, RDDatetime &out);
// Both steps; rounded (when given) tells whether the fraction was rounded.
bool ParseDatetime(std::string_view text, RDDatetime &out, bool *rounded = nullptr);

// Why a text of these forms is no date-time of the engine's calendar (see
// calendar.h); empty when it is one or is not of the forms.
std::string DatetimeCalendarProblem(std::string_view text);
// False for a value outside the calendar (nothing written then).
bool FormatDatetime(const RDDatetime &value, std::string &out);

// The first day number of the engine's calendar that has a year (0001-01-01).
inline constexpr uint32_t kFirstDay = 1721424;
inline constexpr int64_t kTicksPerDay = 8640000;

} // namespace rdxc
