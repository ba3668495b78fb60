// SPDX-License-Identifier: Apache-2.0
// The words of an activity's statistics record as people read them: their
// names, and counts with thousands separators. Shared by rdcsm's reports
// and rdrun's progress and outcome lines, so both label a run alike.
#pragma once

#include <cstdint>
#include <string>

namespace rdstats {

// Call counts of entry points 7-18, then record counts of 9-14 and 16.
inline constexpr int kCallWords = 12, kRecordWords = 7;
inline constexpr const char *kCallNames[kCallWords] = {"connect", "disconnect", "execute", "select",
                                                       "fetch",   "insert",     "update",  "remove",
                                                       "action",  "catalog",    "create",  "drop"};
inline constexpr const char *kRecordNames[kRecordWords] = {"execute", "select", "fetch",  "insert",
                                                           "update",  "remove", "catalog"};

// A record count that a select could not tell.
inline constexpr uint32_t kUnknownCount = 0xFFFFFFFFu;

// 874200 as "874,200".
inline std::string Grouped(uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

} // namespace rdstats
