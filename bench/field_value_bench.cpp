// SPDX-License-Identifier: Apache-2.0
// Field value access against raw baselines in the same run: typed get and
// set against an out-of-line load and store, a text value set against the
// stream conversion it performs, texts set from bytes against copying them, and a bulk Text to
// Numeric conversion against reading each text with RDNumericFromStream.
#include "bench_system.h"
#include "rdxapi.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kValues = 10000;

int32_t g_plain[kValues + 1];

[[gnu::noinline]] uint32_t PlainGet(uint32_t index, int32_t *out) {
    *out = g_plain[index];
    return 0;
}

[[gnu::noinline]] uint32_t PlainSet(uint32_t index, const int32_t *value) {
    g_plain[index] = *value;
    return 0;
}

uint32_t NewField(uint32_t type, uint32_t count) {
    rdbench::StartSystem();
    uint32_t field = 0;
    if (RDFieldAlloc(&field, type, count) != 0) std::abort();
    return field;
}

void FieldGetSetInt(benchmark::State &state) {
    const uint32_t field = NewField(RDTYPE_INT, 1);
    int32_t value = 42;
    for (auto _ : state) {
        RDFieldSetInt(field, 1, &value);
        RDFieldGetInt(field, 1, &value, nullptr);
        benchmark::DoNotOptimize(value);
    }
    RDFieldFree(field);
}
BENCHMARK(FieldGetSetInt);

void PlainGetSetInt(benchmark::State &state) {
    int32_t value = 42;
    for (auto _ : state) {
        PlainSet(1, &value);
        PlainGet(1, &value);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(PlainGetSetInt);

const std::string kText20 = "twenty bytes of text";

RDStream TextStream(const std::string &text) {
    RDStream s{};
    if (RDStreamDataSet(&s, RDCHARSET_INTERCHANGE, text.data(),
                        static_cast<uint32_t>(text.size())) != 0)
        std::abort();
    return s;
}

void FieldSetStream(benchmark::State &state) {
    const uint32_t field = NewField(RDTYPE_TEXT, 1);
    RDStream text = TextStream(kText20);
    for (auto _ : state)
        benchmark::DoNotOptimize(RDFieldSetStream(field, 1, &text));
    RDStreamDataFree(&text);
    RDFieldFree(field);
}
BENCHMARK(FieldSetStream);

void StreamConvertBaseline(benchmark::State &state) {
    rdbench::StartSystem();
    RDStream text = TextStream(kText20), slot{};
    for (auto _ : state)
        benchmark::DoNotOptimize(
            RDStreamDataConvert(&slot, &text, RDCONVERT_KEEPFORMAT, 0, nullptr, nullptr));
    RDStreamDataFree(&text);
    RDStreamDataFree(&slot);
}
BENCHMARK(StreamConvertBaseline);

// Texts of varying lengths from the caller's bytes into a slot that holds
// one already: no stream is built and the slot keeps its block. Against
// copying the same bytes with a terminator.
const std::string kVaried[] = {kText20, "seven b", "thirty-five bytes of text, or so..."};

void FieldSetBytes(benchmark::State &state) {
    const uint32_t field = NewField(RDTYPE_TEXT, 1);
    size_t i = 0;
    for (auto _ : state) {
        const std::string &text = kVaried[i++ % 3];
        benchmark::DoNotOptimize(RDFieldSetBytes(field, 1, RDCHARSET_INTERCHANGE, text.data(),
                                                 static_cast<uint32_t>(text.size())));
    }
    RDFieldFree(field);
}
BENCHMARK(FieldSetBytes);

void MemcpyVariedBaseline(benchmark::State &state) {
    char slot[64];
    size_t i = 0;
    for (auto _ : state) {
        const std::string &text = kVaried[i++ % 3];
        benchmark::DoNotOptimize(std::memcpy(slot, text.data(), text.size()));
        std::memset(slot + text.size(), 0, 4);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(MemcpyVariedBaseline);

std::vector<std::string> NumberTexts() {
    std::vector<std::string> texts;
    for (uint32_t i = 0; i < kValues; ++i) {
        std::string text = std::to_string(i * 7919 % 1000003);
        text.append(".").append(std::to_string(i % 100));
        texts.push_back(text);
    }
    return texts;
}

void FieldConvertTextToNumeric(benchmark::State &state) {
    const uint32_t text = NewField(RDTYPE_TEXT, kValues);
    const uint32_t numeric = NewField(RDTYPE_NUMERIC, kValues);
    if (RDFieldSetFormatNumber(numeric, 0, 0, 18, 4) != 0) std::abort();
    const std::vector<std::string> texts = NumberTexts();
    for (uint32_t i = 0; i < kValues; ++i) {
        RDStream s = TextStream(texts[i]);
        RDFieldSetStream(text, i + 1, &s);
        RDStreamDataFree(&s);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(RDFieldConvert(numeric, 1, text, 1, kValues));
    RDFieldFree(text);
    RDFieldFree(numeric);
}
BENCHMARK(FieldConvertTextToNumeric)->Unit(benchmark::kMicrosecond);

void NumericFromStreamBaseline(benchmark::State &state) {
    rdbench::StartSystem();
    const std::vector<std::string> texts = NumberTexts();
    std::vector<RDStream> streams;
    for (const std::string &t : texts)
        streams.push_back(TextStream(t));
    std::vector<RDNumeric> numerics(kValues);
    for (RDNumeric &n : numerics)
        RDNumericCreate(&n, 18, 4);
    for (auto _ : state) {
        for (uint32_t i = 0; i < kValues; ++i)
            benchmark::DoNotOptimize(RDNumericFromStream(&numerics[i], &streams[i]));
    }
    for (RDStream &s : streams)
        RDStreamDataFree(&s);
}
BENCHMARK(NumericFromStreamBaseline)->Unit(benchmark::kMicrosecond);

} // namespace
