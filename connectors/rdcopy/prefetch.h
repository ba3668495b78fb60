// SPDX-License-Identifier: Apache-2.0
// The next batch read on a second thread while the copy writes this one.
// The thread holds its log entries and call counts (RDActivityHoldBegin);
// Take makes them on the copy's thread when the copy reaches that batch, so
// the log reads as if the copy had fetched it then. A fetch the copy never
// reaches (it ended first) is discarded with what it logged.
#pragma once

#include "rdx_activity.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace rdcopy {

class Prefetch {
  public:
    Prefetch() = default;
    Prefetch(const Prefetch &) = delete;
    Prefetch &operator=(const Prefetch &) = delete;
    ~Prefetch() { Stop(); }

    // Starts the thread; false when it cannot (the copy then reads in turn).
    bool Start();
    bool Started() const { return hold_ != nullptr; }
    // Fetches records first.. of list from the connection on the thread.
    void Issue(uint32_t connection, uint32_t list, uint32_t first, uint32_t count);
    bool Pending() const { return issued_; }
    // Waits for the fetch issued last, makes what it logged, and returns its
    // status and count.
    uint32_t Take(uint32_t &fetched);
    // Waits for a fetch in flight and drops what it logged and counted.
    void Discard();
    // Discards, ends the thread and frees its hold.
    void Stop();

  private:
    enum class State { Idle, Asked, Done, Quit };
    void Work();
    void Wait();

    std::thread thread_;
    std::mutex lock_;
    std::condition_variable changed_;
    State state_ = State::Idle;
    bool ready_ = false;  // the thread began its hold (hold_ set, or failed)
    bool issued_ = false; // a fetch was issued and not yet taken (copy's thread only)
    RDLogHold *hold_ = nullptr;
    uint32_t connection_ = 0, list_ = 0, first_ = 0, count_ = 0;
    uint32_t status_ = 0, fetched_ = 0;
};

} // namespace rdcopy
