// SPDX-License-Identifier: Apache-2.0
// Date-times in the server's binary forms: date (days) and timestamp
// (microseconds), both counted from 2000-01-01 in the proleptic Gregorian
// calendar, in universal time. They cross to and from the engine's
// calendar by year, month and day (calendar.h): a date keeps its text, and
// one that the other side does not have is refused with problem naming it.
#pragma once

#include "datetime_text.h"
#include "rdx_datetime.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rdpg {

// Appends value with its length word for a column of type oid.
uint32_t EncodeDatetime(uint32_t oid, const RDDatetime &value, std::string &out,
                        std::string &problem);
// The same from a text taken apart (a text field), read without the
// engine, so that any date of the server's calendar goes; its fraction
// kept to the microsecond, its zone taken off.
uint32_t EncodeDatetimeText(uint32_t oid, const rdxc::DatetimeText &text, std::string &out,
                            std::string &problem);
// The value of the binary form of a column of type oid; false with problem
// for an infinity or a day outside the engine's calendar. Microseconds are
// rounded to the nearest hundredth; rounded tells whether that changed
// them.
bool DatetimeOf(uint32_t oid, std::string_view bytes, RDDatetime &value, std::string &problem,
                bool &rounded);
// The same from the server's ISO text.
bool DatetimeFromText(uint32_t oid, std::string_view text, RDDatetime &value, std::string &problem,
                      bool &rounded);
// The server's ISO text of a binary form (for a text field); false when
// malformed.
bool DatetimeToText(uint32_t oid, std::string_view bytes, std::string &out);

} // namespace rdpg
