// SPDX-License-Identifier: Apache-2.0
// RDMemAlloc + RDMemFree against malloc + free for the same sizes in the same
// run: the ratio of the two shows what the shared allocator costs on top of
// the C heap.
#include "rdplat_mem.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void RDMemAllocFree(benchmark::State &state) {
    const auto size = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        void *block = RDMemAlloc(size);
        benchmark::DoNotOptimize(block);
        RDMemFree(block);
    }
}

void MallocFree(benchmark::State &state) {
    const auto size = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        void *block = std::malloc(size);
        benchmark::DoNotOptimize(block);
        std::free(block);
    }
}

void RDMemCallocFree(benchmark::State &state) {
    const auto size = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        void *block = RDMemCalloc(size);
        benchmark::DoNotOptimize(block);
        RDMemFree(block);
    }
}

void CallocFree(benchmark::State &state) {
    const auto size = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        void *block = std::calloc(size, 1);
        benchmark::DoNotOptimize(block);
        std::free(block);
    }
}

} // namespace

BENCHMARK(RDMemAllocFree)->Arg(16)->Arg(256)->Arg(4096)->Arg(65536)->Arg(1 << 20);
BENCHMARK(MallocFree)->Arg(16)->Arg(256)->Arg(4096)->Arg(65536)->Arg(1 << 20);
BENCHMARK(RDMemCallocFree)->Arg(16)->Arg(4096);
BENCHMARK(CallocFree)->Arg(16)->Arg(4096);
