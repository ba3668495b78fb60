// Date-times as ISO 8601 texts without a zone: "YYYY-MM-DD",
// "HH:MM:SS[.hh]" or "YYYY-MM-DD HH:MM:SS[.hh]" ('T' also accepted between
// the halves, and minutes without seconds). A text read is taken as
// universal time (zone 0, no daylight saving); a value written shows the
// time of the zone it was made in, so values read here come back unchanged.
#pragma once

#include "rdx_datetime.h"

#include <string>
#include <string_view>

namespace rdxc {

bool ParseDatetime(std::string_view text, RDDatetime &out);
// False for a value outside the calendar (nothing written then).
bool FormatDatetime(const RDDatetime &value, std::string &out);

} // namespace rdxc
