// SPDX-License-Identifier: Apache-2.0
// The raw baseline of a server-manager log request: the message laid out as
// the client lays it out, sent over a fresh pipe connection to a server
// thread that answers every request with a 16-byte header of status 0.
#pragma once

#include "rdplat.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

namespace rawpipe {

// A log request of 100 bytes of text.
constexpr uint32_t kText = 100, kLength = kText + 106;

inline void PutWord(uint8_t *at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

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

// The benchmark loop; the platform must be started.
inline void LogRoundTrips(benchmark::State &state) {
    Server server;
    if (!server.Ok()) return state.SkipWithError("cannot create the pipe");
    std::string bytes(kText, 't');
    for (auto _ : state) {
        // Built afresh each time, as the client builds it.
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

} // namespace rawpipe
