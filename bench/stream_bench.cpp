// Stream operations against their raw baselines in the same run: setting a
// short text against malloc + memcpy, conversions against the fastest
// direct ICU call with everything opened beforehand, comparison against
// memcmp.
#include "rdplat.h"
#include "rdxapi.h"

#include "bench_system.h"

#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Non-ASCII text of n bytes, the pattern repeated.
std::string Text(size_t n, const std::string &pattern) {
    std::string text;
    while (text.size() < n)
        text += pattern;
    text.resize(n);
    return text;
}

const std::string kUtf8Pattern = "ab\xC3\xA9";   // "abé"
const std::string kCp1252Pattern = "ab\xE9\x80"; // "abé€"

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

// The length is opaque to the compiler, as it is to RDStreamDataSet: a
// constant one would turn the copies into a few register moves.
void MallocMemcpy20(benchmark::State &state) {
    const std::string text = Text(20, "abcd");
    size_t count = text.size();
    for (auto _ : state) {
        benchmark::DoNotOptimize(count);
        auto *block = static_cast<char *>(std::malloc(count + 8));
        benchmark::DoNotOptimize(block);
        std::memcpy(block + 4, text.data(), count);
        std::memset(block + 4 + count, 0, 4);
        benchmark::ClobberMemory();
        std::free(block);
    }
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

void StreamConvertUtf8ToUtf16(benchmark::State &state) {
    StreamConvert(state, kUtf8Pattern, 256, RDCHARSET_UNICODE);
}

void StreamConvert1252ToUtf8(benchmark::State &state) {
    StreamConvert(state, kCp1252Pattern, 1252, 256);
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

// RDStreamDataConvert must free the destination's storage and allocate the
// result's; these baselines do the same around the direct ICU call.
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

void IcuCachedConverter1252ToUtf8Allocating(benchmark::State &state) {
    const std::string text = Text(static_cast<size_t>(state.range(0)), kCp1252Pattern);
    UErrorCode status = U_ZERO_ERROR;
    UConverter *from = ucnv_open("windows-1252", &status);
    UConverter *to = ucnv_open("UTF-8", &status);
    const size_t size = text.size() * 3 + 1;
    for (auto _ : state) {
        auto *out = static_cast<char *>(std::malloc(size));
        status = U_ZERO_ERROR;
        char *target = out;
        const char *source = text.data();
        ucnv_convertEx(to, from, &target, out + size, &source, text.data() + text.size(), nullptr,
                       nullptr, nullptr, nullptr, true, true, &status);
        auto length = static_cast<int32_t>(target - out);
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
        std::free(out);
    }
    ucnv_close(from);
    ucnv_close(to);
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void IcuCachedConverter1252ToUtf8(benchmark::State &state) {
    const std::string text = Text(static_cast<size_t>(state.range(0)), kCp1252Pattern);
    UErrorCode status = U_ZERO_ERROR;
    UConverter *from = ucnv_open("windows-1252", &status);
    UConverter *to = ucnv_open("UTF-8", &status);
    std::vector<char> out(text.size() * 3 + 1);
    for (auto _ : state) {
        status = U_ZERO_ERROR;
        char *target = out.data();
        const char *source = text.data();
        ucnv_convertEx(to, from, &target, out.data() + out.size(), &source,
                       text.data() + text.size(), nullptr, nullptr, nullptr, nullptr, true, true,
                       &status);
        auto length = static_cast<int32_t>(target - out.data());
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
    ucnv_close(from);
    ucnv_close(to);
    state.SetBytesProcessed(state.iterations() * state.range(0));
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
BENCHMARK(StreamConvertUtf8ToUtf16)->Arg(20)->Arg(65536);
BENCHMARK(IcuStrFromUtf8)->Arg(20)->Arg(65536);
BENCHMARK(IcuStrFromUtf8Allocating)->Arg(20)->Arg(65536);
BENCHMARK(StreamConvert1252ToUtf8)->Arg(20)->Arg(65536);
BENCHMARK(IcuCachedConverter1252ToUtf8)->Arg(20)->Arg(65536);
BENCHMARK(IcuCachedConverter1252ToUtf8Allocating)->Arg(20)->Arg(65536);
BENCHMARK(StreamCompare20);
BENCHMARK(Memcmp20);
