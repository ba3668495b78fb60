// SPDX-License-Identifier: Apache-2.0
// The epoll set of the pipe server, its stop (an eventfd) and its timer (a
// timerfd on the monotonic clock, which steady_clock reads).
#include "pipe_events.h"

#include <cerrno>
#include <cstring>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace rdcsm {

namespace {

constexpr uint64_t kStopId = 0, kTimerId = 1;
constexpr uint32_t kOnce = EPOLLIN | EPOLLONESHOT;

} // namespace

PipeEvents::~PipeEvents() {
    for (int fd : {epoll_, stop_, timer_})
        if (fd >= 0) close(fd);
}

bool PipeEvents::Open(std::string &error) {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    stop_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    // The stop stays readable once set, so that every thread sees it.
    if (epoll_ >= 0 && stop_ >= 0 && timer_ >= 0 && Add(stop_, kStopId, EPOLLIN) &&
        Add(timer_, kTimerId, kOnce))
        return true;
    error = std::string("cannot watch the connections of the pipe RDCSMP: ") + std::strerror(errno);
    return false;
}

bool PipeEvents::Add(int fd, uint64_t id, uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = id;
    return epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) == 0;
}

void PipeEvents::Rearm(int fd, uint64_t id, uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = id;
    epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event);
}

PipeEvents::Event PipeEvents::Wait() {
    epoll_event event{};
    for (;;) {
        const int ready = epoll_wait(epoll_, &event, 1, -1);
        if (ready == 1) break;
        // A set that cannot be waited for any more ends the watching.
        if (ready < 0 && errno != EINTR) return {kStop, kStopId};
    }
    switch (event.data.u64) {
    case kStopId:
        return {kStop, kStopId};
    case kTimerId:
        return {kTimer, kTimerId};
    default:
        return {kConnection, event.data.u64};
    }
}

void PipeEvents::RearmTimer(std::optional<Clock::time_point> when) {
    itimerspec setting{};
    if (when) {
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(when->time_since_epoch()).count();
        // A time of 0 would disarm the timer rather than fire it.
        setting.it_value.tv_sec = ns / 1000000000;
        setting.it_value.tv_nsec = ns % 1000000000 > 0 ? ns % 1000000000 : 1;
    }
    timerfd_settime(timer_, TFD_TIMER_ABSTIME, &setting, nullptr);
    Rearm(timer_, kTimerId, kOnce);
}

void PipeEvents::ClearTimer() {
    uint64_t expiries = 0;
    [[maybe_unused]] const ssize_t got = read(timer_, &expiries, sizeof expiries);
}

bool PipeEvents::Watch(int fd, uint64_t id) {
    return Add(fd, id, kOnce | EPOLLRDHUP);
}

void PipeEvents::Forget(int fd) {
    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
}

void PipeEvents::Stop() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t put = write(stop_, &one, sizeof one);
}

} // namespace rdcsm
