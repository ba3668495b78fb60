// SPDX-License-Identifier: Apache-2.0
// Numeric addition against __int128 addition in the same run: two 30-digit
// numerics of precision 38 and scale 8. The baseline is an out-of-line call
// taking and giving its values through pointers, as RDNumericAdd does.
#include "rdx_numeric.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

__attribute__((noinline)) int Int128Add(__int128 *result, const __int128 *a, const __int128 *b) {
    *result = *a + *b;
    return 0;
}

// A numeric of precision 38, scale 8 holding the 38 given digits.
RDNumeric Num38(const std::string &digits) {
    RDNumeric n;
    RDNumericCreate(&n, 38, 8);
    for (size_t i = 0; i < digits.size(); ++i)
        n.digits[i / 2] |= static_cast<uint8_t>((digits[i] - '0') << (i % 2 == 0 ? 4 : 0));
    return n;
}

// 30 significant digits each: 22 before the point and 8 after it.
const std::string kA = "00000000123456789012345678901234567890";
const std::string kB = "00000000987654321098765432109876543210";

void NumericAdd(benchmark::State &state) {
    RDNumeric a = Num38(kA), b = Num38(kB), r;
    RDNumericCreate(&r, 38, 8);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RDNumericAdd(&r, &a, &b));
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(NumericAdd);

void NumericSubtract(benchmark::State &state) {
    RDNumeric a = Num38(kA), b = Num38(kB), r;
    RDNumericCreate(&r, 38, 8);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RDNumericSubtract(&r, &a, &b));
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(NumericSubtract);

// Operands of another scale than the result's take the general way, on a
// row of decimal places.
void NumericAddMixedScales(benchmark::State &state) {
    RDNumeric a = Num38(kA), b = Num38(kB), r;
    b.scale = 10;
    RDNumericCreate(&r, 38, 8);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RDNumericAdd(&r, &a, &b));
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(NumericAddMixedScales);

void RawInt128Add(benchmark::State &state) {
    __int128 a = static_cast<__int128>(1234567890123456789) * 100000000000 + 12345678901;
    __int128 b = static_cast<__int128>(9876543210987654321u) * 100000000000 + 9876543210;
    __int128 r = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Int128Add(&r, &a, &b));
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(RawInt128Add);

} // namespace
