// SPDX-License-Identifier: Apache-2.0
// What `show`, `log`, `stats` and `list` print: descriptions decoded with
// their property names, log records with their numbers and texts,
// statistics per run. Stored names, values and texts are shown through
// rdxc::VisibleText, so that none can act on the terminal, and passwords
// are masked.
#pragma once

#include "store.h"

#include <optional>
#include <ostream>
#include <string>

namespace rdcsm {

// The activities and links, each activity with its runs counted by outcome
// and, under it, its running runs with their progress (live_text.h).
void PrintList(Store &store, std::ostream &out);
// Every run (of the named activity, or of all for an empty name), oldest
// first: number, activity, outcome, start, end, records and rate. False
// when no activity has the name.
bool PrintRuns(Store &store, const std::string &name, std::ostream &out);
// False when no activity or link has the name.
// Passwords show as **** (and those inside connection texts are masked)
// unless showSecrets is set.
bool PrintDescription(Store &store, const std::string &name, bool showSecrets, std::ostream &out);
bool PrintLog(Store &store, const std::string &name, std::ostream &out);
// The runs and the statistics records, each count labelled with its name
// (0s left out, a count a select could not tell as "unknown"); with json one
// JSON object for scripts, every count given (unknown as null).
bool PrintStatistics(Store &store, const std::string &name, std::ostream &out, bool json = false);

// The activity (or else the link) of the name.
std::optional<int64_t> FindNamed(Store &store, const std::string &name);

// A time in milliseconds since 1970 as "YYYY-MM-DD hh:mm:ss.mmm" (UTC, the
// proleptic Gregorian calendar; years before 1 as 0, -1, ...).
std::string TimeText(int64_t ms);

} // namespace rdcsm
