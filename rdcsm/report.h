// What `show`, `log`, `stats` and `list` print: descriptions decoded with
// their property names, log records with their numbers and texts,
// statistics per run.
#pragma once

#include "store.h"

#include <ostream>
#include <string>

namespace rdcsm {

void PrintList(Store &store, std::ostream &out);
// False when no activity or link has the name.
bool PrintDescription(Store &store, const std::string &name, std::ostream &out);
bool PrintLog(Store &store, const std::string &name, std::ostream &out);
bool PrintStatistics(Store &store, const std::string &name, std::ostream &out);

// A time in milliseconds since 1970 as "YYYY-MM-DD hh:mm:ss.mmm" (UTC).
std::string TimeText(int64_t ms);

} // namespace rdcsm
