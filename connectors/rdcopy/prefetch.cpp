// SPDX-License-Identifier: Apache-2.0
#include "prefetch.h"

#include "rdx_connect.h"

#include <system_error>

namespace rdcopy {

bool Prefetch::Start() {
    try {
        thread_ = std::thread(&Prefetch::Work, this);
    } catch (const std::system_error &) {
        return false;
    }
    std::unique_lock guard(lock_);
    changed_.wait(guard, [&] { return ready_; });
    if (hold_ != nullptr) return true;
    guard.unlock();
    thread_.join(); // the hold could not begin; the thread has ended
    return false;
}

void Prefetch::Stop() {
    if (!thread_.joinable()) return;
    Discard();
    {
        const std::lock_guard guard(lock_);
        state_ = State::Quit;
    }
    changed_.notify_all();
    thread_.join();
    RDActivityHoldFree(hold_);
    hold_ = nullptr;
}

void Prefetch::Work() {
    RDLogHold *hold = nullptr;
    const bool holding = RDActivityHoldBegin(&hold) == 0;
    {
        const std::lock_guard guard(lock_);
        hold_ = holding ? hold : nullptr;
        ready_ = true;
    }
    changed_.notify_all();
    if (!holding) return;
    for (;;) {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [&] { return state_ == State::Asked || state_ == State::Quit; });
        if (state_ == State::Quit) break;
        guard.unlock();
        uint32_t fetched = 0;
        const uint32_t status = RDConnectFetch(connection_, list_, first_, count_, &fetched);
        guard.lock();
        status_ = status;
        fetched_ = fetched;
        state_ = State::Done;
        guard.unlock();
        changed_.notify_all();
    }
    RDActivityHoldEnd();
}

void Prefetch::Issue(uint32_t connection, uint32_t list, uint32_t first, uint32_t count) {
    {
        const std::lock_guard guard(lock_);
        connection_ = connection;
        list_ = list;
        first_ = first;
        count_ = count;
        state_ = State::Asked;
    }
    issued_ = true;
    changed_.notify_all();
}

void Prefetch::Wait() {
    std::unique_lock guard(lock_);
    changed_.wait(guard, [&] { return state_ != State::Asked; });
}

uint32_t Prefetch::Take(uint32_t &fetched) {
    Wait();
    issued_ = false;
    RDActivityHoldRelease(hold_, 1);
    const std::lock_guard guard(lock_);
    state_ = State::Idle;
    fetched = fetched_;
    return status_;
}

void Prefetch::Discard() {
    if (!Pending()) return;
    Wait();
    issued_ = false;
    RDActivityHoldRelease(hold_, 0);
    const std::lock_guard guard(lock_);
    state_ = State::Idle;
}

} // namespace rdcopy
