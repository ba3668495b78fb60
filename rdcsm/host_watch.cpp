// SPDX-License-Identifier: Apache-2.0
// The hosts of running runs, checked through /proc.
#include "host_watch.h"

#include "lease.h"

#include "rdx_status.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace rdcsm {

namespace {

// /proc/PID/stat is one line: the process id, its name in parentheses (any
// bytes, ')' among them), then numbers. The whole line is far shorter.
constexpr std::size_t kStatSize = 4096;
// Fields after the name: the state is field 3, the start time field 22.
constexpr int kStartAfterState = 22 - 3;

// The line of /proc/PID/stat, NUL-terminated, or empty.
std::optional<std::string> ReadStat(uint32_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string line(kStatSize, '\0');
    ssize_t got;
    do {
        got = read(fd, line.data(), line.size() - 1);
    } while (got < 0 && errno == EINTR);
    close(fd);
    if (got <= 0) return std::nullopt;
    line.resize(static_cast<std::size_t>(got));
    return line;
}

struct Running {
    int64_t run, pid, start;
};

bool HostAlive(const Running &host) {
    if (host.pid <= 0 || host.pid > INT32_MAX) return false;
    auto start = ProcessStart(static_cast<uint32_t>(host.pid));
    return start && *start == host.start;
}

} // namespace

std::optional<int64_t> ProcessStart(uint32_t pid) {
    if (pid == 0) return std::nullopt;
    auto line = ReadStat(pid);
    if (!line) return std::nullopt;
    const std::size_t close = line->rfind(')');
    if (close == std::string::npos || close + 2 >= line->size()) return std::nullopt;
    const char *at = line->c_str() + close + 2;
    // A zombie has ended; only its parent has not yet taken its status.
    if (*at == 'Z' || *at == 'X' || *at == 'x') return std::nullopt;
    for (int field = 0; field < kStartAfterState; ++field) {
        at = std::strchr(at, ' ');
        if (at == nullptr) return std::nullopt;
        ++at;
    }
    char *end = nullptr;
    errno = 0;
    const unsigned long long start = std::strtoull(at, &end, 10);
    if (end == at || errno != 0 || start > INT64_MAX) return std::nullopt;
    return static_cast<int64_t>(start);
}

void RecordHost(Store &store, int64_t run, uint32_t pid) {
    if (pid == 0) return;
    Statement record(store.Db(), "UPDATE runs SET host_pid = ?, host_start = ? WHERE id = ?");
    record.Bind(1, int64_t{pid}).Bind(2, ProcessStart(pid).value_or(-1)).Bind(3, run).Run();
}

int SweepLostHosts(Store &store, std::string_view host) {
    if (!ProcessStart(static_cast<uint32_t>(getpid()))) return 0;
    std::vector<LostRun> lost;
    {
        Statement running(store.Db(), "SELECT id, host_pid, host_start, claims FROM runs "
                                      "WHERE state = 1 AND host_pid IS NOT NULL "
                                      "AND (host IS NULL OR host = ?)");
        running.Bind(1, host);
        while (running.Step()) {
            const Running worker{running.Int(0), running.Int(1), running.Int(2)};
            if (!HostAlive(worker))
                lost.push_back(
                    {worker.run, running.Int(3), worker.pid, worker.start, std::nullopt});
        }
    }
    if (lost.empty()) return 0;
    Transaction transaction(store.Db());
    for (const LostRun &run : lost)
        EndRunOfLostHost(store, run,
                         "lost its worker (process " + std::to_string(run.pid) + " is gone)");
    transaction.Commit();
    return static_cast<int>(lost.size());
}

HostWatch::HostWatch(ServerState &state, std::chrono::milliseconds interval)
    : state_(state), interval_(std::min(interval, std::chrono::milliseconds(state.leaseMs / 3))),
      storeSince_(std::chrono::steady_clock::now()) {
    {
        std::lock_guard guard(state_.lock);
        try {
            LoadHeldRuns(state_);
        } catch (const DbError &) {
        }
    }
    Sweep();
    thread_ = std::thread([this] {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, interval_, [this] { return stop_; })) {
            lock.unlock();
            Sweep();
            lock.lock();
        }
    });
}

HostWatch::~HostWatch() {
    {
        std::lock_guard guard(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void HostWatch::Sweep() {
    std::lock_guard guard(state_.lock);
    try {
        SweepLostHosts(state_.store, state_.host);
        RenewLeases(state_);
        StopRunsNoLongerHeld(state_);
        // After the store was out of reach, every host's leases look run
        // out: other hosts are given a whole lease to renew theirs first.
        if (std::chrono::steady_clock::now() - storeSince_ >=
            std::chrono::milliseconds(state_.leaseMs))
            TakeOverExpiredRuns(state_);
        storeFailed_ = false;
    } catch (const DbError &failure) {
        // Said once when the store fails; the next sweep tries again.
        if (!storeFailed_)
            std::fprintf(stderr, "rdcsm: host %s cannot look after its runs: %s\n",
                         state_.host.c_str(), failure.message.c_str());
        storeFailed_ = true;
        storeSince_ = std::chrono::steady_clock::now();
    } catch (const std::bad_alloc &) {
    }
}

} // namespace rdcsm
