// SPDX-License-Identifier: Apache-2.0
// A log request of 100 bytes of text to a server manager that answers with a
// bare header: through CSMgrLog, and the same exchange written directly on
// the pipe functions (the message built by hand, a connection per request).
// Both go to one serving thread; the process CPU time counts both sides.
#include "raw_pipe_log.h"
#include "rdplat.h"
#include "rdxapi.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using rawpipe::kText;

// The platform and system context in a temporary home with its own pipe
// folder, started once for the program.
bool Started() {
    static const bool started = [] {
        char dir[] = "/tmp/rdbench.XXXXXX";
        if (mkdtemp(dir) == nullptr) return false;
        std::ofstream(std::string(dir) + "/quarry.ini")
            << "[Configuration]\nDirectory=" << dir << "/\nKitType=2\n";
        setenv("RD_PIPE_DIR", dir, 1);
        return chdir(dir) == 0 && RDPlatInit(nullptr) == 0 && RDSystemInit() == 0;
    }();
    return started;
}

void CSMgrLog100(benchmark::State &state) {
    if (!Started()) return state.SkipWithError("no system context");
    rawpipe::Server server;
    if (!server.Ok()) return state.SkipWithError("cannot create the pipe");
    std::string bytes(kText, 't');
    RDStream text{0, kText, RDSTREAM_BORROWED, RDCHARSET_INTERCHANGE,
                  reinterpret_cast<uint8_t *>(bytes.data())};
    for (auto _ : state) {
        if (CSMgrLog(7, 1234, &text) != 0) state.SkipWithError("log failed");
    }
}

void RawPipeLog100(benchmark::State &state) {
    if (!Started()) return state.SkipWithError("no system context");
    rawpipe::LogRoundTrips(state);
}

} // namespace

BENCHMARK(RawPipeLog100)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(CSMgrLog100)->UseRealTime()->MeasureProcessCPUTime();
