// SPDX-License-Identifier: Apache-2.0
// The one heap allocator of the system, with a test hook that makes a chosen
// allocation fail so that callers can exercise their out-of-memory paths.
#include "rdplat_mem.h"
#include "rdplat_test.h"

#include <cstdlib>

RD_EXPORT uint32_t RDMemFailCountdown = 0; // declared extern "C" in rdplat_mem.h

namespace {

// True when this allocation is the one chosen to fail.
bool InjectedFailure() {
    uint32_t left = __atomic_load_n(&RDMemFailCountdown, __ATOMIC_RELAXED);
    while (left != 0) {
        if (__atomic_compare_exchange_n(&RDMemFailCountdown, &left, left - 1, true,
                                        __ATOMIC_RELAXED, __ATOMIC_RELAXED))
            return left == 1;
    }
    return false;
}

} // namespace

extern "C" {

RD_EXPORT void *RDMemAlloc(int32_t size) {
    if (size < 0 || InjectedFailure()) return nullptr;
    return std::malloc(size == 0 ? 1 : static_cast<size_t>(size));
}

RD_EXPORT void *RDMemCalloc(int32_t size) {
    if (size < 0 || InjectedFailure()) return nullptr;
    return std::calloc(size == 0 ? 1 : static_cast<size_t>(size), 1);
}

RD_EXPORT void *RDMemRealloc(void *block, uint32_t oldSize, uint32_t newSize) {
    (void)oldSize; // the heap knows the block's size; realloc copies what fits
    if (block == nullptr || InjectedFailure()) return nullptr;
    return std::realloc(block, newSize == 0 ? 1 : newSize);
}

RD_EXPORT void RDMemFree(void *block) {
    std::free(block);
}

RD_EXPORT void RDTestMemFailNth(uint32_t n) {
    __atomic_store_n(&RDMemFailCountdown, n, __ATOMIC_RELAXED);
}

RD_EXPORT int RDTestMemFailPending(void) {
    return __atomic_load_n(&RDMemFailCountdown, __ATOMIC_RELAXED) != 0 ? 1 : 0;
}

} // extern "C"
