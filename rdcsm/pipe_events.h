// SPDX-License-Identifier: Apache-2.0
// What the pipe server's watcher waits for, in one epoll set: the
// connections that have not sent their request yet, a timer for their
// deadlines, and a stop. The timer and each connection are reported once
// (EPOLLONESHOT) and armed again by whoever takes them; the stop, once set,
// stays reported.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace rdcsm {

class PipeEvents {
  public:
    using Clock = std::chrono::steady_clock;
    enum Kind { kStop, kTimer, kConnection };
    struct Event {
        Kind kind;
        uint64_t id; // a connection's, from kFirstConnection on
    };
    static constexpr uint64_t kFirstConnection = 2;

    PipeEvents() = default;
    ~PipeEvents();
    PipeEvents(const PipeEvents &) = delete;
    PipeEvents &operator=(const PipeEvents &) = delete;

    // Makes the set; false with error set.
    bool Open(std::string &error);
    // The next event; blocks until one comes.
    Event Wait();
    // Sets the timer to when (none: no timer) and reports it again.
    void RearmTimer(std::optional<Clock::time_point> when);
    // Takes the timer's expiry away, so that it is not reported again.
    void ClearTimer();
    // Reports the connection's descriptor once, as id, when it is readable
    // or closed. False when it cannot be watched.
    bool Watch(int fd, uint64_t id);
    void Forget(int fd);
    // Sets the stop (from any thread, any number of times).
    void Stop();

  private:
    bool Add(int fd, uint64_t id, uint32_t events);
    void Rearm(int fd, uint64_t id, uint32_t events);

    int epoll_ = -1, stop_ = -1, timer_ = -1;
};

} // namespace rdcsm
