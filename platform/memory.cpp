// The one heap allocator of the system, with a test hook that makes a chosen
// allocation fail so that callers can exercise their out-of-memory paths.
#include "rdplat_mem.h"
#include "rdplat_test.h"

#include <atomic>
#include <cstdlib>

namespace {

// Allocations still to go before the armed failure; 0 when disarmed.
std::atomic<uint32_t> failCountdown{0};

// True when this allocation is the one chosen to fail.
bool InjectedFailure() {
    uint32_t left = failCountdown.load(std::memory_order_relaxed);
    while (left != 0) {
        if (failCountdown.compare_exchange_weak(left, left - 1, std::memory_order_relaxed))
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
    failCountdown.store(n, std::memory_order_relaxed);
}

RD_EXPORT int RDTestMemFailPending(void) {
    return failCountdown.load(std::memory_order_relaxed) != 0 ? 1 : 0;
}

} // extern "C"
