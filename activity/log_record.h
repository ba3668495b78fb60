// SPDX-License-Identifier: Apache-2.0
// One log entry before it is formatted: the message with its numbers and
// texts, and the operation that was running.
#pragma once

#include "activity/activity_state.h"

#include <cstdint>

namespace rdx {

constexpr uint32_t kFreeTextMessage = 12325;

struct LogRecord {
    const ConnectionRecord *connection; // the current operation's connection
    uint32_t entry;                     // its entry-point number, 0 for none
    uint32_t operationArgument;         // its action code or kind
    uint32_t number;                    // shown with the free text; 0 for none
    const RDStream *text;               // the free text; null for none
    uint32_t args[3];                   // numbers of the markup slots 1-3
    const RDStream *streams[3];         // texts of the markup slots 1-3
    uint32_t message;
};

constexpr bool IsInformational(uint32_t message) {
    return (message & RDMESSAGE_INFORMATIONAL) != 0;
}

} // namespace rdx
