// SPDX-License-Identifier: Apache-2.0
// Currency operations against raw baselines in the same run: the
// saturating add against a plain saturating int64 add, reading a
// 12-character amount against std::from_chars of the same digits.
// Each baseline is an out-of-line call taking and giving its values through
// pointers, as the library's functions do.
#include "rdplat.h"
#include "rdx_currency.h"
#include "rdxapi.h"

#include "bench_system.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

__attribute__((noinline)) int SaturatingAdd(int64_t *result, const int64_t *a, const int64_t *b) {
    if (__builtin_add_overflow(*a, *b, result)) {
        *result = *a < 0 ? -INT64_MAX : INT64_MAX;
        return 1;
    }
    return 0;
}

__attribute__((noinline)) int FromChars(int64_t *value, const char *text, size_t length) {
    return std::from_chars(text, text + length, *value).ec == std::errc() ? 0 : 1;
}

RDCurrency Cur(int64_t v) {
    return RDCurrency{static_cast<uint32_t>(v),
                      static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32)};
}

void CurrencyAdd(benchmark::State &state) {
    RDCurrency a = Cur(123456789), b = Cur(-98765), r{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(RDCurrencyAdd(&r, &a, &b));
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(CurrencyAdd);

void RawSaturatingAdd(benchmark::State &state) {
    int64_t a = 123456789, b = -98765, r = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SaturatingAdd(&r, &a, &b));
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(RawSaturatingAdd);

const char kAmount[] = "1234567.1234"; // 12 characters
const char kDigits[] = "12345671234";  // the same digits

void CurrencyFromStream(benchmark::State &state) {
    rdbench::StartSystem();
    RDStream s{};
    RDStreamDataSet(&s, RDCHARSET_INTERCHANGE, kAmount, sizeof kAmount - 1);
    RDCurrency c{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(RDCurrencyFromStream(&c, &s));
        benchmark::DoNotOptimize(c);
    }
    RDStreamDataFree(&s);
}
BENCHMARK(CurrencyFromStream);

// The text is hidden from the optimiser, which would otherwise read the
// literal once at compile time and store a constant.
void RawFromChars(benchmark::State &state) {
    int64_t value = 0;
    for (auto _ : state) {
        const char *text = kDigits;
        benchmark::DoNotOptimize(text);
        benchmark::DoNotOptimize(FromChars(&value, text, sizeof kDigits - 1));
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(RawFromChars);

void StreamFromCurrency(benchmark::State &state) {
    rdbench::StartSystem();
    RDStream s{};
    RDCurrency c = Cur(12345671234);
    for (auto _ : state)
        benchmark::DoNotOptimize(RDStreamFromCurrency(&s, &c, RDCHARSET_INTERCHANGE));
    RDStreamDataFree(&s);
}
BENCHMARK(StreamFromCurrency);

} // namespace
