// SPDX-License-Identifier: Apache-2.0
// Runs whose host died. A host that takes a run is known by its process id
// and that process's start time, which tells the host from a later process
// that was given the same id. A running run whose host is gone is recorded
// as ended, in the state kHostLost; runs of an unknown host are left alone.
#pragma once

#include "requests.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

namespace rdcsm {

// The start time of a live process (clock ticks after the system's boot,
// field 22 of /proc/PID/stat); empty for a process that is gone (a zombie
// among them) or cannot be read.
std::optional<int64_t> ProcessStart(uint32_t pid);

// Records pid as the host of run (nothing for pid 0). A host already gone
// is recorded with start time -1, so that the next sweep finds it lost.
void RecordHost(Store &store, int64_t run, uint32_t pid);

// Ends every running run of this host (or of no named host) whose worker
// process is gone (lease.h: queued again or lost), in a transaction of its
// own when there is any; returns how many. Does nothing where this process
// cannot read its own start time (no /proc to tell by).
int SweepLostHosts(Store &store, std::string_view host = {});

// Sweeps once at its construction and then every interval (at most a third
// of a lease) from a thread of its own, under the server's lock, until it is
// destroyed: lost workers, lease renewals, stops of runs taken over, and
// take-overs of other hosts' runs whose leases ran out.
class HostWatch {
  public:
    HostWatch(ServerState &state, std::chrono::milliseconds interval);
    ~HostWatch();
    HostWatch(const HostWatch &) = delete;
    HostWatch &operator=(const HostWatch &) = delete;

  private:
    void Sweep();

    ServerState &state_;
    std::chrono::milliseconds interval_;
    // Since when every sweep reached the store.
    std::chrono::steady_clock::time_point storeSince_;
    bool storeFailed_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace rdcsm
