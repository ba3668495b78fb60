// The server manager's log request: CSMgrLog with 100 bytes of text answered
// by rdcsm (parsed, checked and committed to its SQLite database in WAL mode
// with synchronous=NORMAL), against the raw round trip of a message of the
// same size on the pipe functions to a server that answers at once. Both
// open a connection per request, as the client does; real time counts.
#include "bench_system.h"
#include "pipe_server.h"
#include "rdxapi.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace {

constexpr uint32_t kText = 100, kLength = kText + 106;

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

void PutWord(uint8_t *at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
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
        ok_ = state_.store.Open(path_, error) && server_.Start(message);
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

// Answers every request with a 16-byte header of status 0.
class RawServer {
  public:
    RawServer() : pipe_(RDIPCCreate("RDCSMP")) {
        if (pipe_ != nullptr) thread_ = std::thread([this] { Serve(); });
    }
    ~RawServer() {
        stop_ = true;
        RDIPCClose(RDIPCOpen("RDCSMP", 0));
        if (thread_.joinable()) thread_.join();
        RDIPCClose(pipe_);
    }
    bool Ok() const { return pipe_ != nullptr; }

  private:
    void Serve() {
        uint8_t buffer[4096], answer[16] = {};
        PutWord(answer + 4, 16);
        while (!stop_) {
            if (RDIPCWaitForConnection(pipe_) != pipe_) break;
            uint32_t got = 0, more = 0, written = 0;
            if (RDIPCRead(pipe_, buffer, sizeof buffer, &got, &more) == 1)
                RDIPCWrite(pipe_, answer, sizeof answer, &written);
            RDIPCDisconnect(pipe_);
        }
    }
    RDIPCHandle pipe_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
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
    RawServer server;
    if (!server.Ok()) return state.SkipWithError("cannot create the pipe");
    std::string bytes(kText, 't');
    for (auto _ : state) {
        uint8_t message[kLength] = {};
        PutWord(message, 13);
        PutWord(message + 4, kLength);
        PutWord(message + 8, 1);
        PutWord(message + 16, 1);
        PutWord(message + 20, 7);
        PutWord(message + 100, 1234);
        std::memcpy(message + 104, bytes.data(), kText);
        RDIPCHandle pipe = RDIPCOpen("RDCSMP", 90);
        uint32_t got = 0, more = 0;
        if (pipe == nullptr ||
            RDIPCTransact(pipe, message, kLength, message, kLength, &got, &more) != 1 || got != 16)
            state.SkipWithError("exchange failed");
        RDIPCClose(pipe);
        benchmark::DoNotOptimize(message);
    }
}

} // namespace

BENCHMARK(RawPipeRoundTrip100)->UseRealTime();
BENCHMARK(RdcsmLog100)->UseRealTime();
