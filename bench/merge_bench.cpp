// SPDX-License-Identifier: Apache-2.0
// Field list merges against raw baselines in the same run: a merge by name
// of two lists of 100 fields against a nested strncasecmp loop over the
// same names, and the direct merge against one allocation, its release and
// a handle stored and cleared in a plain table.
#include "bench_system.h"
#include "rdxapi.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <strings.h>
#include <vector>

namespace {

constexpr uint32_t kFields = 100;

std::vector<std::string> Names(const char *prefix) {
    std::vector<std::string> names;
    for (uint32_t i = 0; i < kFields; ++i) {
        std::string name(prefix);
        name.append(std::to_string(i * 37 % kFields)).append("_column");
        names.push_back(name);
    }
    return names;
}

uint32_t List(const std::vector<std::string> &names, uint32_t records) {
    rdbench::StartSystem();
    uint32_t list = 0;
    if (RDFieldlistAlloc(&list, records, 0) != 0) std::abort();
    for (const std::string &name : names) {
        RDStream s{};
        RDStreamDataSet(&s, RDCHARSET_INTERCHANGE, name.data(), static_cast<uint32_t>(name.size()));
        if (RDFieldlistAppend(list, &s, RDTYPE_INT, nullptr) != 0) std::abort();
        RDStreamDataFree(&s);
    }
    return list;
}

void MergeByName100(benchmark::State &state) {
    std::vector<std::string> layoutNames = Names("Name"), dataNames = Names("name");
    std::reverse(dataNames.begin(), dataNames.end());
    const uint32_t layout = List(layoutNames, 0), data = List(dataNames, 1);
    for (auto _ : state) {
        uint32_t merged = 0;
        if (RDFieldlistMerge(&merged, layout, data, RDMERGE_BYNAME) != 0) std::abort();
        RDFieldlistFree(merged);
    }
    RDFieldlistFree(layout);
    RDFieldlistFree(data);
}
BENCHMARK(MergeByName100);

void StrncasecmpNested100(benchmark::State &state) {
    std::vector<std::string> layoutNames = Names("Name"), dataNames = Names("name");
    std::reverse(dataNames.begin(), dataNames.end());
    std::vector<uint32_t> slots(kFields);
    for (auto _ : state) {
        for (uint32_t i = 0; i < kFields; ++i) {
            const std::string &name = dataNames[i];
            for (uint32_t j = 0; j < kFields; ++j) {
                const std::string &candidate = layoutNames[j];
                if (candidate.size() == name.size() &&
                    strncasecmp(candidate.data(), name.data(), name.size()) == 0) {
                    slots[j] = i;
                    break;
                }
            }
        }
        benchmark::DoNotOptimize(slots.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(StrncasecmpNested100);

void MergeDirect(benchmark::State &state) {
    const uint32_t layout = List(Names("a"), 0), data = List(Names("b"), 1);
    for (auto _ : state) {
        uint32_t merged = 0;
        if (RDFieldlistMerge(&merged, layout, data, 0) != 0) std::abort();
        RDFieldlistFree(merged);
    }
    RDFieldlistFree(layout);
    RDFieldlistFree(data);
}
BENCHMARK(MergeDirect);

void *g_table[64];

void MallocFreeRegister(benchmark::State &state) {
    uint32_t next = 0;
    for (auto _ : state) {
        void *record = std::malloc(64);
        benchmark::DoNotOptimize(record);
        const uint32_t handle = next++ & 63;
        g_table[handle] = record;
        benchmark::ClobberMemory();
        g_table[handle] = nullptr;
        std::free(record);
    }
}
BENCHMARK(MallocFreeRegister);

} // namespace
