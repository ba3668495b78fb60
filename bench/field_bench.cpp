// SPDX-License-Identifier: Apache-2.0
// Field and field-list operations against raw baselines in the same run:
// value access by handle against a plain array read in a function that is
// not inlined, lookup by name against a strncasecmp loop, and a list copy
// against allocating and copying the same bytes directly.
#include "rdplat.h"
#include "rdxapi.h"

#include "bench_system.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {

constexpr uint32_t kValues = 100;

// ---- value access ---------------------------------------------------------

// The baseline's array, filled at run time so that its reads are real.
std::vector<uint32_t> g_plainNulls;

[[gnu::noinline]] uint32_t PlainArrayValue(uint32_t index) {
    return g_plainNulls[index];
}

// The same shape of answer as RDFieldGetBuffer: two optional addresses.
std::vector<double> g_plainValues;

[[gnu::noinline]] uint32_t PlainArrayAddresses(uint32_t index, void **value, uint32_t **indicator) {
    if (value != nullptr) *value = &g_plainValues[index];
    if (indicator != nullptr) *indicator = &g_plainNulls[index];
    return 0;
}

uint32_t FloatField() {
    rdbench::StartSystem();
    uint32_t field = 0;
    if (RDFieldAlloc(&field, RDTYPE_FLOAT, kValues) != 0) std::abort();
    return field;
}

void FieldIsNull(benchmark::State &state) {
    const uint32_t field = FloatField();
    for (auto _ : state) {
        for (uint32_t i = 1; i <= kValues; ++i)
            benchmark::DoNotOptimize(RDFieldIsNull(field, i));
    }
    RDFieldFree(field);
}

void FieldGetBuffer(benchmark::State &state) {
    const uint32_t field = FloatField();
    void *value = nullptr;
    uint32_t *null = nullptr;
    for (auto _ : state) {
        for (uint32_t i = 1; i <= kValues; ++i) {
            RDFieldGetBuffer(field, i, &value, &null);
            benchmark::DoNotOptimize(value);
        }
    }
    RDFieldFree(field);
}

void PlainArrayRead(benchmark::State &state) {
    g_plainNulls.assign(kValues + 1, 1);
    for (auto _ : state) {
        for (uint32_t i = 1; i <= kValues; ++i)
            benchmark::DoNotOptimize(PlainArrayValue(i));
    }
}

void PlainArrayAddress(benchmark::State &state) {
    g_plainNulls.assign(kValues + 1, 1);
    g_plainValues.assign(kValues + 1, 0.0);
    void *value = nullptr;
    uint32_t *null = nullptr;
    for (auto _ : state) {
        for (uint32_t i = 1; i <= kValues; ++i) {
            PlainArrayAddresses(i, &value, &null);
            benchmark::DoNotOptimize(value);
        }
    }
}

// ---- lookup by name -------------------------------------------------------

constexpr int kNames = 1000;

std::vector<std::string> ColumnNames() {
    std::vector<std::string> names;
    char name[32];
    for (int i = 1; i <= kNames; ++i) {
        std::snprintf(name, sizeof name, "Column%04d", i);
        names.push_back(name);
    }
    return names;
}

const std::string kWanted = "COLUMN0500"; // the 500th, letter case differing

void FieldlistLookup500(benchmark::State &state) {
    rdbench::StartSystem();
    uint32_t list = 0;
    RDFieldlistAlloc(&list, 1, 0);
    for (const std::string &text : ColumnNames()) {
        RDStream name{};
        RDStreamCreate(&name, 0, 0, RDCHARSET_INTERCHANGE);
        RDStreamDataSet(&name, RDCHARSET_INTERCHANGE, text.data(), 10);
        RDFieldlistAppend(list, &name, RDTYPE_INT, nullptr);
        RDStreamDataFree(&name);
    }
    RDStream wanted{};
    RDStreamCreate(&wanted, 0, 0, RDCHARSET_INTERCHANGE);
    RDStreamDataSet(&wanted, RDCHARSET_INTERCHANGE, kWanted.data(), 10);
    uint32_t position = 0;
    for (auto _ : state) {
        RDFieldlistLookup(list, &wanted, nullptr, &position);
        benchmark::DoNotOptimize(position);
    }
    if (position != 500) state.SkipWithError("wrong position");
    RDStreamDataFree(&wanted);
    RDFieldlistFree(list);
}

void StrncasecmpLoop500(benchmark::State &state) {
    const std::vector<std::string> names = ColumnNames();
    const char *wanted = kWanted.c_str();
    const size_t length = kWanted.size();
    size_t position = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(wanted);
        for (position = 0; position < names.size(); ++position) {
            const std::string &name = names[position];
            if (name.size() == length && strncasecmp(name.c_str(), wanted, length) == 0) break;
        }
        benchmark::DoNotOptimize(position);
    }
    if (position != 499) state.SkipWithError("wrong position");
}

// ---- list copy ------------------------------------------------------------

constexpr uint32_t kFields = 20;
const std::string kText = "twelve bytes";

// 20 fields cycling through the seven types, every value set.
uint32_t MixedList() {
    rdbench::StartSystem();
    uint32_t list = 0;
    RDFieldlistAlloc(&list, kValues, 0);
    for (uint32_t f = 0; f < kFields; ++f) {
        const std::string text = "field" + std::to_string(f);
        RDStream name{};
        RDStreamCreate(&name, 0, 0, RDCHARSET_INTERCHANGE);
        RDStreamDataSet(&name, RDCHARSET_INTERCHANGE, text.data(), uint32_t(text.size()));
        const uint32_t type = f % 7 + 1;
        uint32_t field = 0;
        RDFieldlistAppend(list, &name, type, &field);
        RDStreamDataFree(&name);
        for (uint32_t i = 1; i <= kValues; ++i) {
            void *value = nullptr;
            RDFieldGetBuffer(field, i, &value, nullptr);
            if (type == RDTYPE_TEXT || type == RDTYPE_BINARY)
                RDStreamDataSet(static_cast<RDStream *>(value),
                                type == RDTYPE_TEXT ? RDCHARSET_INTERCHANGE : RDKIND_BINARY,
                                kText.data(), uint32_t(kText.size()));
            else
                std::memset(value, int(i), RDFieldGetTypeSize(field));
            RDFieldSetNull(field, i, 0);
        }
    }
    return list;
}

void FieldlistCopy20x100(benchmark::State &state) {
    const uint32_t list = MixedList();
    for (auto _ : state) {
        uint32_t copy = 0;
        RDFieldlistCopy(&copy, list);
        benchmark::DoNotOptimize(copy);
        RDFieldlistFree(copy);
    }
    RDFieldlistFree(list);
}

// The same blocks allocated and filled directly: per field its values and
// indicators, per stream value its data, per name its text, and the list's
// record and arrays; then all freed.
void DirectCopy20x100(benchmark::State &state) {
    constexpr size_t kSizes[] = {4, 8, 8, 48, 8, sizeof(RDStream), sizeof(RDStream)};
    std::vector<std::vector<uint8_t>> sourceValues;
    for (uint32_t f = 0; f < kFields; ++f)
        sourceValues.emplace_back(kSizes[f % 7] * kValues, uint8_t(f));
    std::vector<uint32_t> sourceNulls(kValues, 0);
    std::vector<void *> blocks;
    blocks.reserve(1024);
    for (auto _ : state) {
        blocks.push_back(std::calloc(1, 64));                // list record
        blocks.push_back(std::calloc(20, sizeof(RDStream))); // name array
        blocks.push_back(std::calloc(20, 64));               // field array
        for (uint32_t f = 0; f < kFields; ++f) {
            void *name = std::malloc(16);
            std::memcpy(name, "field00", 8);
            blocks.push_back(name);
            const size_t size = kSizes[f % 7] * kValues;
            auto *values = static_cast<uint8_t *>(std::calloc(1, size));
            auto *nulls = static_cast<uint32_t *>(std::malloc(4 * kValues));
            if (f % 7 >= 5) {
                for (uint32_t i = 0; i < kValues; ++i) {
                    void *data = std::malloc(kText.size() + 8);
                    std::memcpy(data, kText.data(), kText.size());
                    std::memcpy(values + i * sizeof(RDStream), &data, sizeof data);
                    blocks.push_back(data);
                }
            } else {
                std::memcpy(values, sourceValues[f].data(), size);
            }
            std::memcpy(nulls, sourceNulls.data(), 4 * kValues);
            blocks.push_back(values);
            blocks.push_back(nulls);
        }
        benchmark::DoNotOptimize(blocks.data());
        for (void *block : blocks)
            std::free(block);
        blocks.clear();
    }
}

} // namespace

BENCHMARK(FieldIsNull);
BENCHMARK(FieldGetBuffer);
BENCHMARK(PlainArrayRead);
BENCHMARK(PlainArrayAddress);
BENCHMARK(FieldlistLookup500);
BENCHMARK(StrncasecmpLoop500);
BENCHMARK(FieldlistCopy20x100);
BENCHMARK(DirectCopy20x100);
