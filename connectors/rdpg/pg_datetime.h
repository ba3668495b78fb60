// Date-times in the server's binary forms: date (days) and timestamp
// (microseconds), both counted from 2000-01-01 in the proleptic Gregorian
// calendar, in universal time.
#pragma once

#include "rdx_datetime.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rdpg {

// Appends value with its length word for a column of type oid.
uint32_t EncodeDatetime(uint32_t oid, const RDDatetime &value, std::string &out,
                        std::string &problem);
// The value of the binary form of a column of type oid; false for an
// infinity or a day outside the engine's calendar.
bool DatetimeOf(uint32_t oid, std::string_view bytes, RDDatetime &value);
// The same from the server's ISO text.
bool DatetimeFromText(uint32_t oid, std::string_view text, RDDatetime &value);

} // namespace rdpg
