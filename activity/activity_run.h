// SPDX-License-Identifier: Apache-2.0
// The wait of RDActivityRunActivity: the sleep between polls and the clock
// it compares with the deadline, replaceable so that tests need not wait.
#pragma once

#include "rdx_datetime.h"

#include <cstdint>

namespace rdx {

// Seconds between two polls of the server manager.
constexpr uint32_t kRunPollSeconds = 15;

struct RunWaitSeam {
    uint32_t (*sleep)(uint32_t seconds);   // RDProcThreadSleep
    uint32_t (*now)(RDDatetime *datetime); // RDDatetimeSetCurrent
};

extern RunWaitSeam g_runWait;

} // namespace rdx
