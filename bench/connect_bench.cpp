// SPDX-License-Identifier: Apache-2.0
// RDConnectFetch of 1 and of 100 records through a link connector against
// calling the same connector's RDXFetch directly through a function pointer,
// in the same run. The connector writes each record's number into its
// private area, a small fixed amount of work per record.
//
// Built twice: as the benchmark program, and with RDX_BENCH_CONNECTOR as the
// connector benchlink.rdx that the program loads.
#include "rdx_connector.h"

#ifdef RDX_BENCH_CONNECTOR

namespace {
constexpr uint32_t kMaxRecords = 100;
constexpr PropertyDeclaration kNone[] = {{0, 0, 0, nullptr, 0}};
} // namespace

RDX_ENTRY uint32_t RDXIdentify(IdentifyRecord *record) {
    record->version = RDX_INTERFACE_VERSION;
    record->kind = RDX_KIND_LINK;
    record->privateSize = kMaxRecords * sizeof(uint32_t);
    record->declarations = kNone;
    return 0;
}
RDX_ENTRY uint32_t RDXFetch(void *priv, uint32_t, uint32_t first, uint32_t count,
                            uint32_t *fetched) {
    auto *records = static_cast<uint32_t *>(priv);
    const uint32_t n = count < kMaxRecords ? count : kMaxRecords;
    for (uint32_t i = 0; i < n; ++i)
        records[i] = first + i;
    *fetched = n;
    return 0;
}
RDX_ENTRY uint32_t RDXInitialize(void *, uint32_t, uint32_t) {
    return 0;
}
RDX_ENTRY uint32_t RDXTerminate(void *, uint32_t) {
    return 0;
}
RDX_ENTRY uint32_t RDXGetProperty(void *, uint32_t, uint32_t) {
    return 12555;
}
RDX_ENTRY uint32_t RDXSetProperty(void *, uint32_t, uint32_t) {
    return 12555;
}
RDX_ENTRY uint32_t RDXConnect(void *) {
    return 0;
}
RDX_ENTRY uint32_t RDXDisconnect(void *, uint32_t) {
    return 0;
}
RDX_ENTRY uint32_t RDXExecute(void *, uint32_t, uint32_t, uint32_t *) {
    return 0;
}
RDX_ENTRY uint32_t RDXSelect(void *, uint32_t, uint32_t, uint32_t, uint32_t *) {
    return 0;
}
RDX_ENTRY uint32_t RDXInsert(void *, uint32_t, uint32_t, uint32_t, uint32_t *) {
    return 0;
}
RDX_ENTRY uint32_t RDXUpdate(void *, uint32_t, uint32_t, uint32_t, uint32_t *) {
    return 0;
}
RDX_ENTRY uint32_t RDXRemove(void *, uint32_t, uint32_t, uint32_t, uint32_t *) {
    return 0;
}
RDX_ENTRY uint32_t RDXAction(void *, uint32_t) {
    return 0;
}
RDX_ENTRY uint32_t RDXCatalog(void *, uint32_t, uint32_t, uint32_t *) {
    return 0;
}
RDX_ENTRY uint32_t RDXCreate(void *, uint32_t, uint32_t) {
    return 0;
}
RDX_ENTRY uint32_t RDXDrop(void *, uint32_t) {
    return 0;
}

#else

#include "activity/system_context.h"
#include "bench_system.h"
#include "rdplat.h"
#include "rdxapi.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// One connection of benchlink in an activity entered by hand, a field list
// of 100 records, and the connector's own RDXFetch with the connection's
// private area for the direct calls.
struct Connection {
    ActivityBlock block{0, 0, {0, 0, 0}};
    uint32_t handle = 0, list = 0;
    RDXFetchProc fetch = nullptr;
    void *priv = nullptr;

    Connection() {
        rdbench::StartSystem();
        const std::string home = RDFileExeDir();
        std::filesystem::copy_file(RDX_BENCH_CONNECTOR_PATH, home + "benchlink.rdx",
                                   std::filesystem::copy_options::overwrite_existing);
        rdx::ActivityState &activity = rdx::Context()->activity;
        activity.activityBlock = &block;
        activity.activityNesting = 1;
        activity.activityMode = rdx::kModeAllocated | rdx::kModeStandAlone;
        RDStream name{};
        RDStreamDataSet(&name, RDCHARSET_DEFAULT, "benchlink", 9);
        if (RDConnectAlloc(&handle, 0, &name) != 0 || RDConnectConnect(handle) != 0) std::abort();
        RDStreamDataFree(&name);
        if (RDFieldlistAlloc(&list, 100, 0) != 0) std::abort();
        const ConnectionRecord *record = rdx::Context()->connect.connectionSlots[handle % 8];
        fetch = reinterpret_cast<RDXFetchProc>(record->link->entries[RDXENTRY_FETCH]);
        priv = record->priv;
    }
};

Connection &Shared() {
    static Connection connection;
    return connection;
}

void ConnectFetch(benchmark::State &state) {
    const Connection &c = Shared();
    const auto count = static_cast<uint32_t>(state.range(0));
    uint32_t fetched = 0;
    for (auto _ : state) {
        if (RDConnectFetch(c.handle, c.list, 1, count, &fetched) != 0)
            state.SkipWithError("fetch failed");
        benchmark::DoNotOptimize(fetched);
    }
}
BENCHMARK(ConnectFetch)->Arg(1)->Arg(100);

void DirectFetch(benchmark::State &state) {
    const Connection &c = Shared();
    const auto count = static_cast<uint32_t>(state.range(0));
    RDXFetchProc fetch = c.fetch;
    uint32_t fetched = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(fetch);
        if (fetch(c.priv, c.list, 1, count, &fetched) != 0) state.SkipWithError("fetch failed");
        benchmark::DoNotOptimize(fetched);
    }
}
BENCHMARK(DirectFetch)->Arg(1)->Arg(100);

} // namespace

#endif
