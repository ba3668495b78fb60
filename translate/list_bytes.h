// SPDX-License-Identifier: Apache-2.0
// The 16-bit little-endian words of list and rich-text byte images: counts,
// lengths and record headers are stored this way whatever the host.
#pragma once

#include <cstdint>

namespace rdx {

inline uint32_t Read16(const uint8_t *at) {
    return static_cast<uint32_t>(at[0] | at[1] << 8);
}

inline void Write16(uint8_t *at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

} // namespace rdx
