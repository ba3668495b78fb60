// SPDX-License-Identifier: Apache-2.0
// Reading one value from a number list image against a plain load of the
// same double through an out-of-line call, in the same run.
#include "bench_system.h"
#include "rdx_stream.h"
#include "rdx_valuelist.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kValues = 1000;

__attribute__((noinline)) uint32_t PlainLoad(const double *values, uint32_t index, double *out) {
    *out = values[index - 1];
    return 0;
}

struct NumberList {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(4 + 8 * kValues);
    RDStream stream{};
    NumberList() {
        bytes[0] = kValues & 0xFF, bytes[1] = kValues >> 8;
        for (uint32_t i = 0; i < kValues; ++i) {
            const double v = i * 0.5;
            std::memcpy(&bytes[4 + 8 * i], &v, sizeof v);
        }
        stream = {0, static_cast<uint32_t>(bytes.size()), 0, RDKIND_NUMBERLIST, bytes.data()};
    }
};

void NumberListGetValue(benchmark::State &state) {
    rdbench::StartSystem();
    NumberList list;
    uint32_t index = 500;
    benchmark::DoNotOptimize(index);
    for (auto _ : state) {
        double v;
        benchmark::DoNotOptimize(RDNumberListGetValue(&list.stream, index, &v));
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(NumberListGetValue);

void PlainLoadBaseline(benchmark::State &state) {
    std::vector<double> values(kValues);
    for (uint32_t i = 0; i < kValues; ++i)
        values[i] = i * 0.5;
    uint32_t index = 500;
    benchmark::DoNotOptimize(index);
    for (auto _ : state) {
        double v;
        benchmark::DoNotOptimize(PlainLoad(values.data(), index, &v));
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(PlainLoadBaseline);

} // namespace
