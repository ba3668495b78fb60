// SPDX-License-Identifier: Apache-2.0
// The logging step every log function ends in.
#pragma once

#include "activity/log_record.h"

#include <cstdint>

namespace rdx {

// Formats record, sends it to the server manager, remembers it as the last
// entry and, unless it is informational, makes its message the status word.
// Returns the message, or 0 for message 0 or an informational message.
uint32_t LogEntry(LogRecord &record);

// LogEntry's work for a record whose operation is already filled in (a held
// entry made on the activity's thread).
uint32_t LogResolvedEntry(const LogRecord &record);

} // namespace rdx
