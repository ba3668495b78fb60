// The logging step every log function ends in.
#pragma once

#include "activity/log_record.h"

#include <cstdint>

namespace rdx {

// Formats record, sends it to the server manager, remembers it as the last
// entry and, unless it is informational, makes its message the status word.
// Returns the message, or 0 for message 0 or an informational message.
uint32_t LogEntry(LogRecord &record);

} // namespace rdx
