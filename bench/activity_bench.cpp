// Formatting a log message against snprintf of the same text in the same
// run: a free-text message with two numbers and one text, and a catalogue
// message with two numbers. The formatted text ends in a stream, as every
// log entry does; the baseline writes into a stack buffer.
#include "activity/log_format.h"
#include "rdplat.h"
#include "rdxapi.h"

#include "bench_system.h"

#include <benchmark/benchmark.h>

#include <cstdio>

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

} // namespace
