// SPDX-License-Identifier: Apache-2.0
// The activity's statistics read while it runs.
#include "activity/activity_state.h"
#include "connect/connect_term.h"
#include "rdx_activity.h"
#include "rdx_status.h"

#include <algorithm>
#include <cstring>

extern "C" RD_EXPORT uint32_t RDActivityGetStatistics(uint32_t *record, uint32_t words) {
    if (const uint32_t status = rdx::ActivityCheck(); status != RDSTATUS_OK) return status;
    if (words == 0) return RDSTATUS_OK;
    if (record == nullptr) return RDSTATUS_NULLARG2;
    uint32_t all[rdx::kStatisticsWords];
    rdx::ConnectReadStatistics(all);
    std::memcpy(record, all, std::min(words, rdx::kStatisticsWords) * sizeof(uint32_t));
    return RDSTATUS_OK;
}
