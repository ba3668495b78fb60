// SPDX-License-Identifier: Apache-2.0
// Connections taken from the pipe that have not sent their request yet. They
// are held without a worker: the pipe events report one when its request
// comes (a worker then takes it), and it is let go when its deadline passes
// or when kMaxIdle are held and a newer one needs the place (the oldest
// goes). So clients that connect and say nothing never keep a worker or the
// pipe's queue from the clients that speak.
#pragma once

#include "pipe_events.h"

#include "rdplat_ipc.h"

#include <cstddef>
#include <map>
#include <mutex>

namespace rdcsm {

// The most silent connections held: with the workers' connections, well
// within the usual 1024 descriptors of a process.
inline constexpr std::size_t kMaxIdle = 256;

class IdleConnections {
  public:
    using Clock = PipeEvents::Clock;
    explicit IdleConnections(PipeEvents &events) : events_(events) {}
    ~IdleConnections() { CloseAll(); }
    IdleConnections(const IdleConnections &) = delete;
    IdleConnections &operator=(const IdleConnections &) = delete;

    // Holds the connection until deadline (or closes it at once when its
    // descriptor cannot be watched).
    void Hold(RDIPCHandle connection, Clock::time_point deadline);
    // The connection reported as id, now the caller's; null when it was let
    // go meanwhile.
    RDIPCHandle Take(uint64_t id);
    // Lets go of the connections whose deadline has passed; sets the timer
    // for the next deadline.
    void Expire();
    // Lets go of the oldest connection, to free its descriptor; false when
    // none is held.
    bool LetGoOldest();
    void CloseAll();

  private:
    struct Held {
        RDIPCHandle connection;
        Clock::time_point deadline;
    };
    using Entry = std::map<uint64_t, Held>::iterator;
    void LetGo(Entry entry); // with the lock held

    PipeEvents &events_;
    std::mutex mutex_;
    // By id, which grows with the time taken: the oldest and the earliest
    // deadline first, since every deadline is one time-out after its taking.
    std::map<uint64_t, Held> held_;
    uint64_t next_ = PipeEvents::kFirstConnection;
};

} // namespace rdcsm
