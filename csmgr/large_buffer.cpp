// SPDX-License-Identifier: Apache-2.0
// LargeBuffer: growing a request block in whole steps.
#include "rdplat_mem.h"
#include "rdx_csmgr.h"

#include <climits>
#include <cstdint>
#include <cstring>

extern "C" RD_EXPORT uint32_t LargeBuffer(uint8_t **block, uint32_t *capacity, uint32_t a,
                                          uint32_t b, uint32_t c, uint32_t step) {
    if (block == nullptr || capacity == nullptr) return 0;
    // Computed in 64 bits: the sum of the sizes and the grown capacity never wrap.
    const uint64_t wanted = uint64_t{a} + b + c;
    const uint64_t have = *capacity;
    if (wanted <= have) return 1;
    if (step == 0) return 0;
    const uint64_t grow = (wanted - have + step - 1) / step * step;
    const uint64_t size = have + grow;
    if (size > INT32_MAX) return 0;
    void *grown = RDMemRealloc(*block, *capacity, static_cast<uint32_t>(size));
    if (grown == nullptr) return 0;
    // The new part is zeroed: what is not written must not carry stale heap
    // to the server manager.
    std::memset(static_cast<uint8_t *>(grown) + have, 0, static_cast<std::size_t>(grow));
    *block = static_cast<uint8_t *>(grown);
    *capacity = static_cast<uint32_t>(size);
    return 1;
}
