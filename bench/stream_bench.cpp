// SPDX-License-Identifier: Apache-2.0
// Stream operations against their raw baselines in the same run: setting a
// short text against malloc + memcpy, comparison against memcmp. The
// conversions between character sets are measured in translate_bench.
#include "rdplat.h"
#include "rdxapi.h"

#include "bench_system.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using rdbench::Text;

void StreamSet20(benchmark::State &state) {
    rdbench::StartSystem();
    const std::string text = Text(20, "abcd");
    RDStream s;
    RDStreamCreate(&s, 0, 0, 256);
    for (auto _ : state) {
        RDStreamDataSet(&s, 256, text.data(), 20);
        benchmark::DoNotOptimize(s.data);
        RDStreamDataFree(&s);
    }
}

// Overwriting a stream that already holds 20 bytes reuses its storage.
void StreamSet20Overwrite(benchmark::State &state) {
    rdbench::StartSystem();
    const std::string text = Text(20, "abcd");
    RDStream s;
    RDStreamCreate(&s, 0, 0, 256);
    RDStreamDataSet(&s, 256, text.data(), 20);
    for (auto _ : state) {
        RDStreamDataSet(&s, 256, text.data(), 20);
        benchmark::DoNotOptimize(s.data);
    }
    RDStreamDataFree(&s);
}

void MallocMemcpy20(benchmark::State &state) {
    rdbench::MallocMemcpyLoop(state, Text(20, "abcd"));
}

// Overwriting 20 bytes needs no allocation: its baseline copies the bytes
// and the terminator into a block that is already there.
void Memcpy20(benchmark::State &state) {
    const std::string text = Text(20, "abcd");
    size_t count = text.size();
    std::vector<char> block(count + 8);
    for (auto _ : state) {
        benchmark::DoNotOptimize(count);
        char *data = block.data();
        benchmark::DoNotOptimize(data);
        std::memcpy(data + 4, text.data(), count);
        std::memset(data + 4 + count, 0, 4);
        benchmark::ClobberMemory();
    }
}

void StreamCompare20(benchmark::State &state) {
    rdbench::StartSystem();
    const std::string a = Text(20, "abcd"), b = Text(19, "abcd") + "e";
    RDStream x, y;
    RDStreamCreate(&x, 0, 0, 256);
    RDStreamCreate(&y, 0, 0, 256);
    RDStreamDataSet(&x, 256, a.data(), 20);
    RDStreamDataSet(&y, 256, b.data(), 20);
    for (auto _ : state) {
        int32_t order = 0;
        RDStreamDataCompare(&x, &y, &order);
        benchmark::DoNotOptimize(order);
    }
    RDStreamDataFree(&x);
    RDStreamDataFree(&y);
}

void Memcmp20(benchmark::State &state) {
    const std::string a = Text(20, "abcd"), b = Text(19, "abcd") + "e";
    const char *x = a.data(), *y = b.data();
    for (auto _ : state) {
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
        int order = std::memcmp(x, y, 20);
        benchmark::DoNotOptimize(order);
    }
}

} // namespace

BENCHMARK(StreamSet20);
BENCHMARK(StreamSet20Overwrite);
BENCHMARK(MallocMemcpy20);
BENCHMARK(Memcpy20);
BENCHMARK(StreamCompare20);
BENCHMARK(Memcmp20);
