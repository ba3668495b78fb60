// SPDX-License-Identifier: Apache-2.0
// Sleeping: whole seconds for waiting loops, a fixed quarter second for
// console polling. Signals do not cut a sleep short.
#include "rdplat_proc.h"

#include <cerrno>
#include <ctime>

namespace {

void SleepFor(time_t seconds, long nanoseconds) {
    timespec left{seconds, nanoseconds};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

} // namespace

extern "C" {

RD_EXPORT uint32_t RDProcThreadSleep(uint32_t seconds) {
    SleepFor(static_cast<time_t>(seconds), 0);
    return RDSTATUS_OK;
}

RD_EXPORT uint32_t RDKeyboardSleep(void) {
    SleepFor(0, 250L * 1000 * 1000);
    return RDSTATUS_OK;
}

} // extern "C"
