// SPDX-License-Identifier: Apache-2.0
// Reading ISO date-times of six fraction digits against the same file with
// two-digit fractions, through the delimited-file connector as a copy reads
// its source: the plug-in loaded with dlopen, its path set, the column
// types inferred by the select, and the records fetched in batches of 500
// into a field list of the library. The six-digit fraction is rounded to
// hundredths and counted; that work is what the ratio measures.
#include "rdx_connector.h"
#include "rdx_field.h"
#include "rdx_fieldlist.h"
#include "rdx_fieldvalue.h"
#include "rdx_stream.h"

#include "bench_system.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kRecords = 20000;
constexpr uint32_t kBatch = 500;

// The records: an id, a date-time of the given fraction digits and an
// amount; the seconds and fractions vary so that nothing repeats.
std::string WriteFile(int fractionDigits) {
    const std::string path = "/tmp/rdx-csv-datetime-" + std::to_string(getpid()) + "-" +
                             std::to_string(fractionDigits) + ".csv";
    std::ofstream out(path, std::ios::binary);
    out << "id,at,amount\n";
    char line[96];
    for (uint32_t i = 0; i < kRecords; ++i) {
        const uint32_t micros = (i * 7919u) % 1000000u;
        const uint32_t fraction = fractionDigits == 6 ? micros : micros / 10000u;
        std::snprintf(line, sizeof line, "%u,2024-%02u-%02uT%02u:%02u:%02u.%0*u,%u.%02u\n", i + 1,
                      1 + i % 12, 1 + i % 28, i % 24, i % 60, (i / 60) % 60, fractionDigits,
                      fraction, i * 3, i % 100);
        out << line;
    }
    return path;
}

// The plug-in's entry points a reading copy calls.
struct Plugin {
    Plugin() {
        library = dlopen(RDX_BENCH_RDCSV_PATH, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) std::abort();
        auto get = [this](const char *name) {
            void *entry = dlsym(library, name);
            if (entry == nullptr) std::abort();
            return entry;
        };
        identify = reinterpret_cast<RDXIdentifyProc>(get("RDXIdentify"));
        initialize = reinterpret_cast<RDXInitializeProc>(get("RDXInitialize"));
        terminate = reinterpret_cast<RDXTerminateProc>(get("RDXTerminate"));
        setProperty = reinterpret_cast<RDXSetPropertyProc>(get("RDXSetProperty"));
        connect = reinterpret_cast<RDXConnectProc>(get("RDXConnect"));
        disconnect = reinterpret_cast<RDXDisconnectProc>(get("RDXDisconnect"));
        select = reinterpret_cast<RDXSelectProc>(get("RDXSelect"));
        fetch = reinterpret_cast<RDXFetchProc>(get("RDXFetch"));
        if (identify(&record) != 0) std::abort();
    }
    uint32_t Number(const std::string &name) const {
        for (const PropertyDeclaration *d = record.declarations; d && d->number != 0; ++d)
            if (d->name != nullptr && name == std::string(d->name, d->nameLength)) return d->number;
        std::abort();
    }

    void *library = nullptr;
    IdentifyRecord record{};
    RDXIdentifyProc identify = nullptr;
    RDXInitializeProc initialize = nullptr;
    RDXTerminateProc terminate = nullptr;
    RDXSetPropertyProc setProperty = nullptr;
    RDXConnectProc connect = nullptr;
    RDXDisconnectProc disconnect = nullptr;
    RDXSelectProc select = nullptr;
    RDXFetchProc fetch = nullptr;
};

Plugin &ThePlugIn() {
    static Plugin plugin;
    return plugin;
}

void SetText(Plugin &plugin, void *priv, const char *name, const std::string &value) {
    uint32_t field = 0;
    RDStream text{};
    if (RDFieldAlloc(&field, RDTYPE_TEXT, 1) != 0 ||
        RDStreamCreate(&text, 0, 0, RDCHARSET_INTERCHANGE) != 0 ||
        RDStreamDataSet(&text, RDCHARSET_INTERCHANGE, value.data(),
                        static_cast<uint32_t>(value.size())) != 0 ||
        RDFieldSetStream(field, 1, &text) != 0 ||
        plugin.setProperty(priv, plugin.Number(name), field) != 0)
        std::abort();
    RDStreamDataFree(&text);
    RDFieldFree(field);
}

// One whole read of the file: connect, select, fetch to the end.
void ReadAll(Plugin &plugin, const std::string &path) {
    std::vector<unsigned char> area(plugin.record.privateSize, 0);
    void *priv = area.empty() ? nullptr : area.data();
    if (plugin.initialize(priv, 0x10001, 1) != 0) std::abort();
    SetText(plugin, priv, "Path", path);
    uint32_t list = 0, count = 0, fetched = 0, total = 0;
    if (RDFieldlistAlloc(&list, kBatch, 0) != 0 || plugin.connect(priv) != 0 ||
        plugin.select(priv, list, kBatch, 0, &count) != 0)
        std::abort();
    uint32_t status = 0;
    do {
        status = plugin.fetch(priv, list, 1, kBatch, &fetched);
        total += fetched;
    } while (status == 0);
    if (status != RDX_END_OF_DATA || total != kRecords) std::abort();
    plugin.disconnect(priv, 0);
    plugin.terminate(priv, 1);
    RDFieldlistFree(list);
}

void ReadFile(benchmark::State &state, int fractionDigits) {
    rdbench::StartSystem();
    Plugin &plugin = ThePlugIn();
    const std::string path = WriteFile(fractionDigits);
    for (auto _ : state)
        ReadAll(plugin, path);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRecords);
    std::remove(path.c_str());
}

void CsvReadDatetimeMicros(benchmark::State &state) {
    ReadFile(state, 6);
}
BENCHMARK(CsvReadDatetimeMicros)->Unit(benchmark::kMillisecond);

void CsvReadDatetimeHundredths(benchmark::State &state) {
    ReadFile(state, 2);
}
BENCHMARK(CsvReadDatetimeHundredths)->Unit(benchmark::kMillisecond);

} // namespace
