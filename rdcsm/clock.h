// SPDX-License-Identifier: Apache-2.0
// The server's clock as the 8-byte date-time value of the protocol: the
// hundredths since midnight and the Julian day number, both UTC.
#pragma once

#include <cstdint>

namespace rdcsm {

struct WireDatetime {
    uint32_t ticks;
    uint32_t date;
};

// The date-time of ms milliseconds since 1970 (UTC); zone byte 0.
constexpr WireDatetime DatetimeOfMs(int64_t ms) {
    constexpr int64_t kDayMs = 86400000, kJulianOf1970 = 2440588;
    int64_t day = ms / kDayMs, rest = ms % kDayMs;
    if (rest < 0) rest += kDayMs, --day;
    return {static_cast<uint32_t>(rest / 10), static_cast<uint32_t>(day + kJulianOf1970)};
}

} // namespace rdcsm
