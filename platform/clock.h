// SPDX-License-Identifier: Apache-2.0
// The one read of the system clock inside rdplat. Every function that needs
// the current time goes through it, so a test can fix the time for all of
// them at once with RDTestClockSet.
#pragma once

#include <cstdint>
#include <ctime>

namespace rdplat {

struct RealTime {
    int64_t seconds;     // since 1970-01-01 00:00:00 UTC
    int32_t nanoseconds; // 0 .. 999999999
};

// The wall-clock time: the system's, or the fixed one a test has set.
RealTime NowRealtime();

// NowRealtime as local calendar time in the time zone of TZ (re-read at
// every call). False when the time cannot be represented.
bool NowLocal(std::tm &local, int32_t &nanoseconds);

} // namespace rdplat
