// SPDX-License-Identifier: Apache-2.0
// The words of a running copy's progress: the share done and the time left,
// as rdrun's progress line and rdcsm's live columns both tell them.
#pragma once

#include <algorithm>
#include <string>

namespace rdstats {

// A share from 0 to 1 as "38%" (rounded down, so that 100% means done).
inline std::string PercentText(double share) {
    return std::to_string(static_cast<int>(std::clamp(share, 0.0, 1.0) * 100)) + "%";
}

// "about 40 s left", "about 3 min left", "about 2 h 5 min left"; seconds
// are told in fives, at least 5.
inline std::string TimeLeft(double seconds) {
    const long whole = static_cast<long>(std::max(0.0, seconds) + 0.5);
    if (whole < 60) return "about " + std::to_string(std::max(5L, (whole + 4) / 5 * 5)) + " s left";
    const long minutes = (whole + 30) / 60;
    if (minutes < 60) return "about " + std::to_string(minutes) + " min left";
    return "about " + std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) +
           " min left";
}

} // namespace rdstats
