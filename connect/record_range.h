// SPDX-License-Identifier: Apache-2.0
// The record-range check of the operations that move records.
#pragma once

#include <cstdint>

namespace rdx {

// The outcome of checking (list, first, count) against the list's capacity.
enum class RangeCheck { Call, Nothing, Refused };

// Call: the connector is called; Nothing: count 0, return 0 at once;
// Refused: *status tells why (12307, 12312, 12313). The end of the range is
// computed in 64 bits, so a range past 32 bits never wraps into one that fits.
RangeCheck CheckRange(uint32_t list, uint32_t first, uint32_t count, uint32_t *status);

} // namespace rdx
