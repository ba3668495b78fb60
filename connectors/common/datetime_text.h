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
// The parts of such a text, its form and the ranges of its parts checked
// but not its date against a calendar (absent parts -1).
bool ParseDatetimeParts(std::string_view text, RDDatetimeParts &parts);
// Why a text of that form is no date-time of the engine's calendar (see
// calendar.h); empty when it is one or is not of the form.
std::string DatetimeCalendarProblem(std::string_view text);
// False for a value outside the calendar (nothing written then).
bool FormatDatetime(const RDDatetime &value, std::string &out);

} // namespace rdxc
