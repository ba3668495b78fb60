// The hosts of running runs, checked through /proc.
#include "host_watch.h"

#include "rdx_status.h"

#include <cerrno>
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

int SweepLostHosts(Store &store) {
    if (!ProcessStart(static_cast<uint32_t>(getpid()))) return 0;
    std::vector<Running> lost;
    {
        Statement running(store.Db(), "SELECT id, host_pid, host_start FROM runs "
                                      "WHERE state = 1 AND host_pid IS NOT NULL");
        while (running.Step()) {
            const Running host{running.Int(0), running.Int(1), running.Int(2)};
            if (!HostAlive(host)) lost.push_back(host);
        }
    }
    if (lost.empty()) return 0;
    Transaction transaction(store.Db());
    Statement end(store.Db(), "UPDATE runs SET state = 3, end_code = ?, ended_ms = ? "
                              "WHERE id = ? AND state = 1 AND host_pid = ? AND host_start = ?");
    for (const Running &host : lost) {
        end.Bind(1, int64_t{RDSTATUS_ENDCODE}).Bind(2, store.NowMs()).Bind(3, host.run);
        end.Bind(4, host.pid).Bind(5, host.start).Run();
        end.Reset();
    }
    transaction.Commit();
    return static_cast<int>(lost.size());
}

HostWatch::HostWatch(ServerState &state, std::chrono::milliseconds interval)
    : state_(state), interval_(interval) {
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
        SweepLostHosts(state_.store);
    } catch (const DbError &) {
        // the next sweep tries again
    } catch (const std::bad_alloc &) {
    }
}

} // namespace rdcsm
