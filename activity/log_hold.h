// SPDX-License-Identifier: Apache-2.0
// Log entries and call counts of a second thread, held until the activity's
// thread takes them: a connection of the activity can then work on that
// thread (a copy reading its next batch while it writes this one) while the
// log, the status word and the statistics change on the activity's thread
// alone, in the order a serial run would give.
#pragma once

#include "activity/activity_state.h"
#include "activity/log_record.h"

#include <cstdint>

namespace rdx {

// The log state of the calling thread: its hold's while it holds, else the
// activity's.
LogState &ThreadLog();

// Whether the calling thread holds its entries.
bool Holding();

// Keeps a copy of record (its connection already resolved) for the activity's
// thread. Only while Holding().
void HoldEntry(const LogRecord &record);

// Adds to the held call or record counts of an entry point. Only while
// Holding().
void HoldCall(uint32_t entry);
void HoldRecords(uint32_t entry, uint32_t count);

} // namespace rdx
