// SPDX-License-Identifier: Apache-2.0
// ICU's allocation functions for the translation tests (see the header).
#include "icu_heap_failures.h"

#include "rdplat_test.h"

#include <atomic>
#include <cstdlib>
#include <unicode/uclean.h>

namespace {

std::atomic<int> counting{0};

bool Fails() {
    return counting.load(std::memory_order_relaxed) > 0 && RDTestMemFailCheck() != 0;
}

void *Allocate(const void *, size_t size) {
    return Fails() ? nullptr : std::malloc(size);
}

void *Reallocate(const void *, void *block, size_t size) {
    return Fails() ? nullptr : std::realloc(block, size);
}

void Free(const void *, void *block) {
    std::free(block);
}

// Installed before main, so before ICU's first use.
const bool installed = [] {
    UErrorCode status = U_ZERO_ERROR;
    u_setMemoryFunctions(nullptr, Allocate, Reallocate, Free, &status);
    return U_SUCCESS(status);
}();

} // namespace

namespace rdxtest {

IcuHeapFailures::IcuHeapFailures() {
    if (!installed) std::abort();
    counting.fetch_add(1, std::memory_order_relaxed);
}

IcuHeapFailures::~IcuHeapFailures() {
    counting.fetch_sub(1, std::memory_order_relaxed);
}

} // namespace rdxtest
