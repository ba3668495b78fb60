// SPDX-License-Identifier: Apache-2.0
// What the activity layer asks of the connection layer when an activity
// ends, and what the log asks of a connection.
#pragma once

#include "rdx_connector.h"

#include <cstdint>

struct ConnectionRecord;

namespace rdx {

// Words of the statistics record sent to the server manager at the end.
constexpr uint32_t kStatisticsWords = 19;

// Closes the link listing, disconnects the connections still connected
// (handing their connectors the status word), frees every connection and
// unloads every link. Needs no activity: it runs after the activity's
// nesting was cleared.
void ConnectTermAll();

// Counts one successful call of an entry point made outside the connection
// layer (RDXIdentify of the activity connector).
void ConnectCountCall(uint32_t entry);

// Fills the statistics record of the activity so far; safe to call from
// another thread while the activity runs.
void ConnectReadStatistics(uint32_t record[kStatisticsWords]);

// Fills the statistics record of the activity (call counts of entry points
// 7-18, record counts of 9-14, then of 16) and zeroes the counters.
void ConnectTakeStatistics(uint32_t record[kStatisticsWords]);

// The identify record of the connection's link; null when there is none.
const IdentifyRecord *ConnectionIdentify(const ConnectionRecord *connection);

} // namespace rdx
