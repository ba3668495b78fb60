// SPDX-License-Identifier: Apache-2.0
// Conversions of streams between character sets against the best direct
// ICU route for the same pair in the same run, with every converter opened
// beforehand. Each baseline comes twice: into a buffer kept across
// iterations, and with the allocation and release of the output that
// RDStreamDataConvert also makes (it frees the destination's storage and
// allocates the result's).
#include "rdplat.h"
#include "rdxapi.h"

#include "bench_system.h"

#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using rdbench::Text;

const std::string kUtf8Pattern = "ab\xC3\xA9";   // "abé"
const std::string kCp1252Pattern = "ab\xE9\x80"; // "abé€"

void StreamConvert(benchmark::State &state, const std::string &pattern, uint32_t from,
                   uint32_t to) {
    rdbench::StartSystem();
    const std::string text = Text(static_cast<size_t>(state.range(0)), pattern);
    RDStream source, destination;
    RDStreamCreate(&source, 0, 0, from);
    RDStreamDataSet(&source, from, text.data(), static_cast<uint32_t>(text.size()));
    RDStreamCreate(&destination, 0, 0, to);
    for (auto _ : state) {
        uint8_t *data = nullptr;
        uint32_t length = 0;
        if (RDStreamDataConvert(&destination, &source, 0, to, &data, &length) != 0) std::abort();
        benchmark::DoNotOptimize(data);
    }
    RDStreamDataFree(&destination);
    RDStreamDataFree(&source);
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// UTF-8 into UTF-16LE.

void StreamConvertUtf8ToUtf16(benchmark::State &state) {
    StreamConvert(state, kUtf8Pattern, 256, RDCHARSET_UNICODE);
}

void IcuStrFromUtf8(benchmark::State &state) {
    const std::string text = Text(static_cast<size_t>(state.range(0)), kUtf8Pattern);
    std::vector<UChar> out(text.size() + 1);
    for (auto _ : state) {
        UErrorCode status = U_ZERO_ERROR;
        int32_t length = 0;
        u_strFromUTF8(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                      static_cast<int32_t>(text.size()), &status);
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void IcuStrFromUtf8Allocating(benchmark::State &state) {
    const std::string text = Text(static_cast<size_t>(state.range(0)), kUtf8Pattern);
    for (auto _ : state) {
        auto *out = static_cast<UChar *>(std::malloc((text.size() + 1) * sizeof(UChar)));
        UErrorCode status = U_ZERO_ERROR;
        int32_t length = 0;
        u_strFromUTF8(out, static_cast<int32_t>(text.size() + 1), &length, text.data(),
                      static_cast<int32_t>(text.size()), &status);
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
        std::free(out);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// windows-1252 into UTF-8. The best direct route: the cached converter
// reads into UTF-16, ICU's UTF-8 writer writes the result (faster than a
// converter pair through ucnv_convertEx, with identical bytes).

struct Cp1252ToUtf8 {
    explicit Cp1252ToUtf8(size_t n) : units(n + 1) {
        UErrorCode status = U_ZERO_ERROR;
        converter = ucnv_open("windows-1252", &status);
        if (U_FAILURE(status)) std::abort();
    }
    ~Cp1252ToUtf8() { ucnv_close(converter); }
    Cp1252ToUtf8(const Cp1252ToUtf8 &) = delete;
    Cp1252ToUtf8 &operator=(const Cp1252ToUtf8 &) = delete;

    int32_t Convert(const std::string &text, char *out, int32_t capacity) {
        UErrorCode status = U_ZERO_ERROR;
        UChar *target = units.data();
        const char *source = text.data();
        ucnv_resetToUnicode(converter);
        ucnv_toUnicode(converter, &target, units.data() + units.size(), &source,
                       text.data() + text.size(), nullptr, true, &status);
        int32_t length = 0;
        u_strToUTF8(out, capacity, &length, units.data(),
                    static_cast<int32_t>(target - units.data()), &status);
        return length;
    }

    UConverter *converter;
    std::vector<UChar> units;
};

void StreamConvert1252ToUtf8(benchmark::State &state) {
    StreamConvert(state, kCp1252Pattern, 1252, 256);
}

void IcuToUnicodeThenUtf8(benchmark::State &state) {
    const std::string text = Text(static_cast<size_t>(state.range(0)), kCp1252Pattern);
    Cp1252ToUtf8 route(text.size());
    std::vector<char> out(text.size() * 3 + 1);
    for (auto _ : state) {
        int32_t length = route.Convert(text, out.data(), static_cast<int32_t>(out.size()));
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void IcuToUnicodeThenUtf8Allocating(benchmark::State &state) {
    const std::string text = Text(static_cast<size_t>(state.range(0)), kCp1252Pattern);
    Cp1252ToUtf8 route(text.size());
    const size_t size = text.size() * 3 + 1;
    for (auto _ : state) {
        auto *out = static_cast<char *>(std::malloc(size));
        int32_t length = route.Convert(text, out, static_cast<int32_t>(size));
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
        std::free(out);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// UTF-8 into another UTF-8 code: checked, then copied once.

void StreamConvertUtf8ToUtf8(benchmark::State &state) {
    StreamConvert(state, kUtf8Pattern, 256, 65001);
}

void MallocMemcpy(benchmark::State &state) {
    rdbench::MallocMemcpyLoop(state, Text(static_cast<size_t>(state.range(0)), kUtf8Pattern));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(StreamConvertUtf8ToUtf16)->Arg(20)->Arg(65536);
BENCHMARK(IcuStrFromUtf8)->Arg(20)->Arg(65536);
BENCHMARK(IcuStrFromUtf8Allocating)->Arg(20)->Arg(65536);
BENCHMARK(StreamConvert1252ToUtf8)->Arg(20)->Arg(65536);
BENCHMARK(IcuToUnicodeThenUtf8)->Arg(20)->Arg(65536);
BENCHMARK(IcuToUnicodeThenUtf8Allocating)->Arg(20)->Arg(65536);
BENCHMARK(StreamConvertUtf8ToUtf8)->Arg(20)->Arg(65536);
BENCHMARK(MallocMemcpy)->Arg(20)->Arg(65536);
