// A log request of 100 bytes of text to a server manager that answers with a
// bare header: through CSMgrLog, and the same exchange written directly on
// the pipe functions (the message built by hand, a connection per request).
// Both go to one serving thread; the process CPU time counts both sides.
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

constexpr uint32_t kText = 100, kLength = kText + 106;

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

void PutWord(uint8_t *at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Answers every request with a 16-byte header of status 0.
class Server {
  public:
    Server() : pipe_(RDIPCCreate("RDCSMP")) {
        if (pipe_ != nullptr) thread_ = std::thread([this] { Serve(); });
    }
    ~Server() {
        stop_ = true;
        RDIPCClose(RDIPCOpen("RDCSMP", 0)); // wakes the server
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

void CSMgrLog100(benchmark::State &state) {
    if (!Started()) return state.SkipWithError("no system context");
    Server server;
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
    Server server;
    if (!server.Ok()) return state.SkipWithError("cannot create the pipe");
    std::string bytes(kText, 't');
    for (auto _ : state) {
        // The message as the client lays it out, built afresh each time.
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

BENCHMARK(RawPipeLog100)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(CSMgrLog100)->UseRealTime()->MeasureProcessCPUTime();
