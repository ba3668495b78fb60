// SPDX-License-Identifier: Apache-2.0
// RDActivityRunActivity: another activity started through the server
// manager, waited for when asked.
#include "activity/activity_run.h"

#include "activity/system_context.h"
#include "rdplat_proc.h"
#include "rdx_activity.h"
#include "rdx_csmgr.h"
#include "rdx_status.h"

namespace rdx {

RunWaitSeam g_runWait{RDProcThreadSleep, RDDatetimeSetCurrent};

namespace {

constexpr uint32_t kRunWait = 1;

// The checks that open the call and every poll.
uint32_t RunCheck() {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    return CommandStatus();
}

bool PastDeadline(const RDDatetime *deadline) {
    if (deadline == nullptr) return false;
    RDDatetime now{};
    int32_t order = 0;
    if (g_runWait.now(&now) != RDSTATUS_OK) return false;
    return RDDatetimeCompare(&now, deadline, &order) == RDSTATUS_OK && order > 0;
}

uint32_t WaitForRuns(uint32_t handle, const RDDatetime *deadline) {
    for (;;) {
        if (const uint32_t status = RunCheck(); status != RDSTATUS_OK) return status;
        uint32_t done = 0;
        const uint32_t status = CSMgrCheckSync(handle, &done);
        if (status != RDSTATUS_OK || done == 1) return status;
        if (PastDeadline(deadline)) return RDSTATUS_DEADLINE;
        g_runWait.sleep(kRunPollSeconds);
    }
}

} // namespace

} // namespace rdx

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDActivityRunActivity(const RDStream *name, uint32_t flags,
                                                    const RDDatetime *deadline) {
    if (const uint32_t status = RunCheck(); status != RDSTATUS_OK) return status;
    if (name == nullptr) return RDSTATUS_NOSTREAM;
    if ((flags & kRunWait) == 0) return CSMgrRunActivity(0, name);
    const ActivityBlock *block = Context()->activity.activityBlock;
    const uint32_t handle = block != nullptr ? block->handle : 0;
    CSMgrRunActivity(handle, name);
    return WaitForRuns(handle, deadline);
}
