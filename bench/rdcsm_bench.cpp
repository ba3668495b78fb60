// SPDX-License-Identifier: Apache-2.0
// The server manager's log request: CSMgrLog with 100 bytes of text answered
// by rdcsm (parsed, checked and committed to its SQLite database in WAL mode
// with synchronous=NORMAL), against the raw round trip of a message of the
// same size on the pipe functions to a server that answers at once. Both
// open a connection per request, as the client does; real time counts.
// RDX_BENCH_STORE names another store for rdcsm (a PostgreSQL database,
// see store_bench.sh).
#include "bench_system.h"
#include "pipe_server.h"
#include "raw_pipe_log.h"
#include "rdxapi.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

using rawpipe::kText;

// The system in a temporary home whose pipe folder is its own.
rdbench::System &Started() {
    static rdbench::System *system = [] {
        char dir[] = "/tmp/rdcsmbench.XXXXXX";
        if (mkdtemp(dir) == nullptr) std::abort();
        setenv("RD_PIPE_DIR", dir, 1);
        return new rdbench::System();
    }();
    return *system;
}

// rdcsm serving from a thread, with one activity defined.
class Rdcsm {
  public:
    Rdcsm() {
        char path[] = "/tmp/rdcsmbench.db.XXXXXX";
        int fd = mkstemp(path);
        if (fd >= 0) close(fd);
        path_ = path;
        rdcsm::DbError error;
        std::string message;
        rdcsm::StoreUri store{rdcsm::StoreKind::kSqlite, path_};
        const char *named = std::getenv("RDX_BENCH_STORE");
        if (named != nullptr && !rdcsm::ParseStoreUri(named, store, message)) return;
        ok_ = state_.store.Open(store, error) && server_.Start(message);
        if (!ok_) return;
        handle_ = static_cast<uint32_t>(state_.store.DefineObject(rdcsm::kActivity, "bench", ""));
        thread_ = std::thread([this] { server_.Run(); });
    }
    ~Rdcsm() {
        if (thread_.joinable()) {
            CSMgrShutdown();
            thread_.join();
        }
        for (const char *suffix : {"", "-wal", "-shm"})
            std::remove((path_ + suffix).c_str());
    }
    bool Ok() const { return ok_; }
    uint32_t Handle() const { return handle_; }

  private:
    std::string path_;
    rdcsm::ServerState state_;
    rdcsm::PipeServer server_{state_, {}};
    std::thread thread_;
    bool ok_ = false;
    uint32_t handle_ = 0;
};

void RdcsmLog100(benchmark::State &state) {
    Started();
    Rdcsm server;
    if (!server.Ok()) return state.SkipWithError("cannot start rdcsm");
    std::string bytes(kText, 't');
    RDStream text{0, kText, RDSTREAM_BORROWED, RDCHARSET_INTERCHANGE,
                  reinterpret_cast<uint8_t *>(bytes.data())};
    for (auto _ : state) {
        if (CSMgrLog(server.Handle(), 1234, &text) != 0) state.SkipWithError("log failed");
    }
}

void RawPipeRoundTrip100(benchmark::State &state) {
    Started();
    rawpipe::LogRoundTrips(state);
}

} // namespace

BENCHMARK(RawPipeRoundTrip100)->UseRealTime();
BENCHMARK(RdcsmLog100)->UseRealTime();
