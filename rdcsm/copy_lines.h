// SPDX-License-Identifier: Apache-2.0
// The lines an incremental copy logs as informational entries of its run:
// at the start how it reads ("Incremental from updated_at > 2026-12-06
// 23:59:59.99.", "Incremental by updated_at: first run, every record is
// copied." or "Full refresh: the bookmark of updated_at is forgotten."), at
// the end the bookmark it committed ("Bookmark: updated_at = VALUE."). The
// reports show them beside the runs; the texts come from the activity, so
// they are read bounded and cut to a length a line can hold.
#pragma once

#include "store.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace rdcsm {

// The most bytes of a logged text that a report shows; a longer one is cut
// there (at a character's start) and ends with "...".
inline constexpr std::size_t kShownLineBytes = 200;

// The start line of each run that logged one (of the activity, or of every
// activity when none is given), as a run's line shows it: the first letter
// lower-cased, without the closing stop, cut to kShownLineBytes. Not yet
// made visible.
std::map<int64_t, std::string> RunStartLines(Store &store, std::optional<int64_t> activity);

struct Bookmark {
    std::string key, value; // each cut to kShownLineBytes, not yet made visible
};

// The last bookmark the activity's runs logged.
std::optional<Bookmark> LastBookmark(Store &store, int64_t activity);

} // namespace rdcsm
