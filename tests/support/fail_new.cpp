// SPDX-License-Identifier: Apache-2.0
// The test programs' global operator new and delete: plain malloc and free,
// except that while a CppHeapFailures lives every allocation counts against
// the failure armed with RDTestMemFailNth, so the C++ heap (std::string,
// std::vector, new) of the libraries fails on the same count as RDMemAlloc
// and their out-of-memory paths can be looped like every other.
#include "fail_new.h"

#include "rdplat_test.h"

#include <cstdlib>
#include <new>

namespace {

// Only the thread that armed the count: test peers serving the library
// from threads of their own allocate freely.
thread_local int counting = 0;

void *Allocate(std::size_t size) noexcept {
    if (counting > 0 && RDTestMemFailCheck() != 0) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

void *AllocateOrThrow(std::size_t size) {
    void *block = Allocate(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

} // namespace

namespace rdtest {

CppHeapFailures::CppHeapFailures() {
    ++counting;
}

CppHeapFailures::~CppHeapFailures() {
    --counting;
}

CppHeapUncounted::CppHeapUncounted() : saved_(counting) {
    counting = 0;
}

CppHeapUncounted::~CppHeapUncounted() {
    counting = saved_;
}

} // namespace rdtest

void *operator new(std::size_t size) {
    return AllocateOrThrow(size);
}

void *operator new[](std::size_t size) {
    return AllocateOrThrow(size);
}

void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    return Allocate(size);
}

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept {
    return Allocate(size);
}

void operator delete(void *block) noexcept {
    std::free(block);
}

void operator delete[](void *block) noexcept {
    std::free(block);
}

void operator delete(void *block, std::size_t) noexcept {
    std::free(block);
}

void operator delete[](void *block, std::size_t) noexcept {
    std::free(block);
}

void operator delete(void *block, const std::nothrow_t &) noexcept {
    std::free(block);
}

void operator delete[](void *block, const std::nothrow_t &) noexcept {
    std::free(block);
}
