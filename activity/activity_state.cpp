// SPDX-License-Identifier: Apache-2.0
// The checks that open the activity functions, and the end of the log state.
#include "activity/activity_state.h"

#include "activity/system_context.h"
#include "rdx_status.h"

#include <atomic>

namespace rdx {

uint32_t ActivityCheck() {
    const SystemContext *context = Context();
    if (context == nullptr || context->activity.activityNesting == 0) return RDSTATUS_NOACTIVITY;
    return RDSTATUS_OK;
}

// The host may set the command from another thread (a signal's), and the
// activity may ask from more than one: the word is read whole.
uint32_t CommandStatus() {
    ActivityBlock *block = Context()->activity.activityBlock;
    if (block == nullptr) return RDSTATUS_OK;
    switch (std::atomic_ref<uint32_t>(block->command).load(std::memory_order_relaxed)) {
    case 1:
        return RDSTATUS_COMMAND1;
    case 2:
        return RDSTATUS_COMMAND2;
    default:
        return RDSTATUS_OK;
    }
}

void LogStateRelease() {
    SystemContext *context = Context();
    if (context == nullptr) return;
    RDStreamDataFree(&context->log.lastLogText);
    RDStreamDataFree(&context->log.lastLogStream);
    context->log = LogState{};
}

} // namespace rdx
