// SPDX-License-Identifier: Apache-2.0
// Formatting a log message against snprintf of the same text in the same
// run: a free-text message with two numbers and one text, and a catalogue
// message with two numbers. The formatted text ends in a stream, as every
// log entry does; the baseline writes into a stack buffer.
//
// Reading a property of a description of 20 against a plain scan of 20
// (number, value) pairs: the Int, and the text with the one conversion the
// baseline makes too.
#include "activity/log_format.h"
#include "activity/system_context.h"
#include "rdplat.h"
#include "rdxapi.h"

#include "bench_system.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kTemplate[] = "Copied [[RDI1]] of [[RDI2]] records into [[RDS1]].";
constexpr char kTableName[] = "customer_orders";

void LogFormatTwoNumbersOneText(benchmark::State &state) {
    rdbench::StartSystem();
    RDStream pattern{}, name{}, out{};
    RDStreamDataSet(&pattern, RDCHARSET_INTERCHANGE, kTemplate, sizeof kTemplate - 1);
    RDStreamDataSet(&name, RDCHARSET_INTERCHANGE, kTableName, sizeof kTableName - 1);
    rdx::LogRecord record{};
    record.message = rdx::kFreeTextMessage;
    record.text = &pattern;
    record.args[0] = 1234;
    record.args[1] = 5678;
    record.streams[0] = &name;
    for (auto _ : state) {
        if (rdx::FormatLogRecord(record, false, &out) != 0) state.SkipWithError("format failed");
        benchmark::DoNotOptimize(out.data);
    }
    RDStreamDataFree(&out);
    RDStreamDataFree(&name);
    RDStreamDataFree(&pattern);
}
BENCHMARK(LogFormatTwoNumbersOneText);

void SnprintfTwoNumbersOneText(benchmark::State &state) {
    char text[512];
    long first = 1234, second = 5678;
    const char *name = kTableName;
    for (auto _ : state) {
        benchmark::DoNotOptimize(first);
        benchmark::DoNotOptimize(name);
        std::snprintf(text, sizeof text, "ERROR: Copied %ld of %ld records into %s.", first, second,
                      name);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(SnprintfTwoNumbersOneText);

void LogFormatCatalogueTwoNumbers(benchmark::State &state) {
    rdbench::StartSystem();
    RDStream out{};
    rdx::LogRecord record{};
    record.message = 12548;
    record.args[0] = 12;
    record.args[1] = 14;
    for (auto _ : state) {
        if (rdx::FormatLogRecord(record, false, &out) != 0) state.SkipWithError("format failed");
        benchmark::DoNotOptimize(out.data);
    }
    RDStreamDataFree(&out);
}
BENCHMARK(LogFormatCatalogueTwoNumbers);

void SnprintfCatalogueTwoNumbers(benchmark::State &state) {
    char text[512];
    long first = 12, second = 14;
    for (auto _ : state) {
        benchmark::DoNotOptimize(first);
        std::snprintf(text, sizeof text, "ERROR: The record has %ld fields, the layout %ld.", first,
                      second);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(SnprintfCatalogueTwoNumbers);

constexpr uint32_t kProperties = 20;
constexpr uint32_t kFirstNumber = 0x30010;
constexpr uint32_t kLastNumber = kFirstNumber + kProperties - 1;
constexpr char kPropertyText[] = "/data/exports/customer_orders.csv";

// A stand-alone activity whose description holds 20 properties of type,
// numbered from kFirstNumber; the last one is the one read.
class Description {
  public:
    explicit Description(uint32_t type) {
        rdbench::StartSystem();
        if (RDActivityAlloc(0, nullptr, 0) != 0) std::abort();
        RDStream text{};
        RDStreamDataSet(&text, RDCHARSET_INTERCHANGE, kPropertyText, sizeof kPropertyText - 1);
        PropertySet *set = rdx::Context()->activity.descriptionSet;
        for (uint32_t i = 0; i < kProperties; ++i) {
            const int32_t value = static_cast<int32_t>(i) * 7;
            const void *item = type == RDTYPE_INT ? static_cast<const void *>(&value) : &text;
            if (rdx::PropertySetAdd(set, kFirstNumber + i, type, item) != 0) std::abort();
        }
        RDStreamDataFree(&text);
    }
    ~Description() { RDActivityFree(); }
    Description(const Description &) = delete;
    Description &operator=(const Description &) = delete;
};

void ActivityGetPropertyInt20(benchmark::State &state) {
    const Description description(RDTYPE_INT);
    int32_t value = 0;
    uint32_t number = kLastNumber;
    for (auto _ : state) {
        benchmark::DoNotOptimize(number);
        if (RDActivityGetPropertyInt(number, &value) != 0) state.SkipWithError("get failed");
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(ActivityGetPropertyInt20);

struct IntPair {
    uint32_t number;
    int32_t value;
};

void ScanIntPairs20(benchmark::State &state) {
    IntPair pairs[kProperties];
    for (uint32_t i = 0; i < kProperties; ++i)
        pairs[i] = {kFirstNumber + i, static_cast<int32_t>(i) * 7};
    uint32_t number = kLastNumber;
    for (auto _ : state) {
        benchmark::DoNotOptimize(number);
        benchmark::DoNotOptimize(pairs);
        int32_t value = 0;
        for (const IntPair &pair : pairs) {
            if (pair.number == number) {
                value = pair.value;
                break;
            }
        }
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(ScanIntPairs20);

void ActivityGetPropertyStream20(benchmark::State &state) {
    const Description description(RDTYPE_TEXT);
    RDStream out{};
    uint32_t number = kLastNumber;
    for (auto _ : state) {
        benchmark::DoNotOptimize(number);
        if (RDActivityGetPropertyStream(number, RDCHARSET_INTERCHANGE, &out) != 0)
            state.SkipWithError("get failed");
        benchmark::DoNotOptimize(out.data);
    }
    RDStreamDataFree(&out);
}
BENCHMARK(ActivityGetPropertyStream20);

struct StreamPair {
    uint32_t number;
    RDStream value;
};

void ScanStreamPairs20Convert(benchmark::State &state) {
    rdbench::StartSystem();
    StreamPair pairs[kProperties]{};
    for (uint32_t i = 0; i < kProperties; ++i) {
        pairs[i].number = kFirstNumber + i;
        RDStreamDataSet(&pairs[i].value, RDCHARSET_INTERCHANGE, kPropertyText,
                        sizeof kPropertyText - 1);
    }
    RDStream out{};
    uint32_t number = kLastNumber;
    for (auto _ : state) {
        benchmark::DoNotOptimize(number);
        benchmark::DoNotOptimize(pairs);
        const RDStream *found = nullptr;
        for (const StreamPair &pair : pairs) {
            if (pair.number == number) {
                found = &pair.value;
                break;
            }
        }
        if (RDStreamDataConvert(&out, found, RDCONVERT_LITERAL, RDCHARSET_INTERCHANGE, nullptr,
                                nullptr) != 0)
            state.SkipWithError("convert failed");
        benchmark::DoNotOptimize(out.data);
    }
    RDStreamDataFree(&out);
    for (StreamPair &pair : pairs)
        RDStreamDataFree(&pair.value);
}
BENCHMARK(ScanStreamPairs20Convert);

} // namespace
