// SPDX-License-Identifier: Apache-2.0
// The local clock: RDPlatGetDatetime and the test hook that fixes the time.
#include "clock.h"

#include "rdplat_intl.h"
#include "rdplat_test.h"

#include <atomic>
#include <cstdint>
#include <time.h>

namespace rdplat {

namespace {

constexpr int32_t kNanosPerSecond = 1000000000;
constexpr int32_t kNanosPerHundredth = 10000000;

// The fixed time of RDTestClockSet. The seconds and nanoseconds are stored
// before the flag is raised, so a reader that sees the flag sees the time.
std::atomic<bool> fixedEnabled{false};
std::atomic<int64_t> fixedSeconds{0};
std::atomic<int32_t> fixedNanoseconds{0};

} // namespace

RealTime NowRealtime() {
    if (fixedEnabled.load(std::memory_order_acquire))
        return {fixedSeconds.load(std::memory_order_relaxed),
                fixedNanoseconds.load(std::memory_order_relaxed)};
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return {static_cast<int64_t>(now.tv_sec), static_cast<int32_t>(now.tv_nsec)};
}

bool NowLocal(std::tm &local, int32_t &nanoseconds) {
    RealTime now = NowRealtime();
    // localtime_r need not notice a changed TZ by itself; tzset makes it do so.
    tzset();
    auto seconds = static_cast<time_t>(now.seconds);
    if (localtime_r(&seconds, &local) == nullptr) return false;
    nanoseconds = now.nanoseconds;
    return true;
}

} // namespace rdplat

extern "C" {

RD_EXPORT uint32_t RDPlatGetDatetime(RDDatetimeParts *parts) {
    if (parts == nullptr) return RDSTATUS_OK;
    std::tm local{};
    int32_t nanoseconds = 0;
    if (rdplat::NowLocal(local, nanoseconds)) {
        parts->year = local.tm_year + 1900;
        parts->month = local.tm_mon + 1;
        parts->day = local.tm_mday;
        parts->hour = local.tm_hour;
        parts->minute = local.tm_min;
        parts->second = local.tm_sec;
        parts->hundredth = nanoseconds / rdplat::kNanosPerHundredth;
    }
    RDPlatGetTimeZone(&parts->zone, &parts->dst);
    return RDSTATUS_OK;
}

RD_EXPORT void RDTestClockSet(int enable, int64_t unixSeconds, int32_t nanoseconds) {
    using namespace rdplat;
    if (enable == 0) {
        fixedEnabled.store(false, std::memory_order_release);
        return;
    }
    // Carry whole seconds out of the nanoseconds so that 0 <= ns < 1e9.
    int64_t carry = nanoseconds / kNanosPerSecond;
    int32_t rest = nanoseconds % kNanosPerSecond;
    if (rest < 0) {
        rest += kNanosPerSecond;
        --carry;
    }
    int64_t seconds = 0;
    if (__builtin_add_overflow(unixSeconds, carry, &seconds))
        seconds = carry > 0 ? INT64_MAX : INT64_MIN;
    fixedEnabled.store(false, std::memory_order_release);
    fixedSeconds.store(seconds, std::memory_order_relaxed);
    fixedNanoseconds.store(rest, std::memory_order_relaxed);
    fixedEnabled.store(true, std::memory_order_release);
}

} // extern "C"
