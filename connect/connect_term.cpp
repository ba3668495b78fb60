// SPDX-License-Identifier: Apache-2.0
// The connection layer's part of an activity's end, the statistics record,
// and what the log asks of a connection.
#include "connect/connect_term.h"

#include "connect/connection.h"
#include "connect/link.h"
#include "rdx_field.h"

#include <atomic>
#include <cstring>

namespace rdx {

namespace {

// Frees the connections of one slot. A connection in the middle of a call
// (the activity ended from inside its connector) leaves the slot and is
// freed when the call returns.
// Returns false when such a connection was left to its call.
bool FreeSlot(ConnectionRecord *&head) {
    bool all = true;
    while (ConnectionRecord *connection = head) {
        if (connection->busy != 0) {
            SlotRemove(connection);
            connection->freePending = true;
            all = false;
            continue;
        }
        FreeConnection(connection);
    }
    return all;
}

void FreeScratchFields(ConnectState &state) {
    for (uint32_t &field : state.scratchFields) {
        if (field != 0) RDFieldFree(field);
        field = 0;
    }
}

} // namespace

void ConnectTermAll() {
    if (Context() == nullptr) return;
    ConnectState &state = Connections();
    if (state.linkListing != nullptr) RDFileListClose(state.linkListing);
    state.linkListing = nullptr;
    bool idle = true;
    for (ConnectionRecord *&head : state.connectionSlots)
        idle = FreeSlot(head) && idle;
    state.nextConnectionHandle = 0;
    // A connector still running keeps the links loaded (and its connection
    // its link) until the next end.
    if (idle) UnloadLinks();
    FreeScratchFields(state);
}

void ConnectCountCall(uint32_t entry) {
    if (Context() != nullptr && entry < RDXENTRY_COUNT) CountCall(entry);
}

void ConnectReadStatistics(uint32_t record[kStatisticsWords]) {
    std::memset(record, 0, kStatisticsWords * sizeof(uint32_t));
    if (Context() == nullptr) return;
    ConnectState &state = Connections();
    const auto read = [](uint32_t &counter) {
        return std::atomic_ref<uint32_t>(counter).load(std::memory_order_relaxed);
    };
    uint32_t *word = record;
    for (uint32_t entry = RDXENTRY_CONNECT; entry <= RDXENTRY_DROP; ++entry)
        *word++ = read(state.callCounts[entry]);
    for (uint32_t entry = RDXENTRY_EXECUTE; entry <= RDXENTRY_REMOVE; ++entry)
        *word++ = read(state.recordCounts[entry]);
    *word = read(state.recordCounts[RDXENTRY_CATALOG]);
}

void ConnectTakeStatistics(uint32_t record[kStatisticsWords]) {
    ConnectReadStatistics(record);
    if (Context() == nullptr) return;
    ConnectState &state = Connections();
    std::memset(state.callCounts, 0, sizeof state.callCounts);
    std::memset(state.recordCounts, 0, sizeof state.recordCounts);
}

const IdentifyRecord *ConnectionIdentify(const ConnectionRecord *connection) {
    return connection != nullptr && connection->link != nullptr ? connection->link->identify
                                                                : nullptr;
}

} // namespace rdx
