// SPDX-License-Identifier: Apache-2.0
// Round trip of a 2048-byte request and a 2048-byte answer over a fresh
// connection per request, as the server-manager client works: through the
// pipe functions, and the same exchange written directly on Unix sockets.
// Argument 1 pins client and server to one CPU (the first the program may
// use); 0 lets them run anywhere.
#include "rdplat.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uint32_t kSize = 2048;

// A private pipe folder for the benchmark run, removed when the program ends
// (the sockets in it are removed by the benchmarks themselves).
class BenchFolder {
  public:
    BenchFolder() {
        char pattern[] = "/tmp/rdbench.XXXXXX";
        made_ = mkdtemp(pattern) != nullptr;
        path_ = made_ ? pattern : "/tmp";
        setenv("RD_PIPE_DIR", path_.c_str(), 1);
    }
    ~BenchFolder() {
        if (made_) rmdir(path_.c_str());
    }
    BenchFolder(const BenchFolder &) = delete;
    BenchFolder &operator=(const BenchFolder &) = delete;
    const std::string &Path() const { return path_; }

  private:
    std::string path_;
    bool made_ = false;
};

const std::string &PipeFolder() {
    static const BenchFolder folder;
    return folder.Path();
}

// The CPUs the program may run on, as it was started (taskset narrows them).
const cpu_set_t &StartingCpus() {
    static const cpu_set_t cpus = [] {
        cpu_set_t set;
        CPU_ZERO(&set);
        if (sched_getaffinity(0, sizeof set, &set) != 0) CPU_SET(0, &set);
        return set;
    }();
    return cpus;
}

// Pins the calling thread to the first CPU the program may use.
void Pin(bool pinned) {
    if (!pinned) return;
    const cpu_set_t &allowed = StartingCpus();
    int first = 0;
    while (first < CPU_SETSIZE - 1 && !CPU_ISSET(first, &allowed))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    pthread_setaffinity_np(pthread_self(), sizeof one, &one);
}

void Unpin() {
    pthread_setaffinity_np(pthread_self(), sizeof(cpu_set_t), &StartingCpus());
}

void ServePipe(RDIPCHandle server, std::atomic<bool> &stop, bool pinned) {
    Pin(pinned);
    char buffer[kSize];
    while (!stop.load()) {
        if (RDIPCWaitForConnection(server) != server) break;
        uint32_t got = 0, more = 0, written = 0;
        if (RDIPCRead(server, buffer, kSize, &got, &more) == 1)
            RDIPCWrite(server, buffer, kSize, &written);
        RDIPCDisconnect(server);
    }
}

void PipeRoundTrip(benchmark::State &state) {
    PipeFolder();
    StartingCpus();
    bool pinned = state.range(0) != 0;
    RDIPCHandle server = RDIPCCreate("bench");
    if (server == nullptr) {
        state.SkipWithError("cannot create the pipe");
        return;
    }
    std::atomic<bool> stop{false};
    std::thread serving(ServePipe, server, std::ref(stop), pinned);
    Pin(pinned);
    char request[kSize], answer[kSize];
    std::memset(request, 'q', kSize);
    for (auto _ : state) {
        RDIPCHandle client = RDIPCOpen("bench", 5);
        uint32_t got = 0, more = 0;
        if (client == nullptr ||
            RDIPCTransact(client, request, kSize, answer, kSize, &got, &more) != 1 || got != kSize)
            state.SkipWithError("exchange failed");
        RDIPCClose(client);
    }
    stop = true;
    RDIPCClose(RDIPCOpen("bench", 0)); // wakes the server
    serving.join();
    RDIPCClose(server);
    Unpin();
}

sockaddr_un RawAddress() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = PipeFolder() + "/raw";
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

void ServeRaw(int listener, std::atomic<bool> &stop, bool pinned) {
    Pin(pinned);
    char buffer[kSize];
    while (!stop.load()) {
        int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) break;
        if (recv(fd, buffer, kSize, 0) > 0) send(fd, buffer, kSize, MSG_NOSIGNAL);
        close(fd);
    }
}

int RawConnect(const sockaddr_un &address) {
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void RawRoundTrip(benchmark::State &state) {
    StartingCpus();
    bool pinned = state.range(0) != 0;
    sockaddr_un address = RawAddress();
    unlink(address.sun_path);
    int listener = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener, 255) != 0) {
        state.SkipWithError("cannot listen");
        return;
    }
    std::atomic<bool> stop{false};
    std::thread serving(ServeRaw, listener, std::ref(stop), pinned);
    Pin(pinned);
    char request[kSize], answer[kSize];
    std::memset(request, 'q', kSize);
    for (auto _ : state) {
        int fd = RawConnect(address);
        if (fd < 0 || send(fd, request, kSize, MSG_NOSIGNAL) != kSize ||
            recv(fd, answer, kSize, 0) != kSize)
            state.SkipWithError("exchange failed");
        close(fd);
    }
    stop = true;
    close(RawConnect(address));
    serving.join();
    close(listener);
    unlink(address.sun_path);
    Unpin();
}

} // namespace

// Real time, and the CPU time of both threads together, which a machine
// shared with other work disturbs far less.
BENCHMARK(RawRoundTrip)->Arg(1)->Arg(0)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(PipeRoundTrip)->Arg(1)->Arg(0)->UseRealTime()->MeasureProcessCPUTime();
