// SPDX-License-Identifier: Apache-2.0
// The handle slots, the statistics and the entry-point call guard.
#include "connect/connection.h"

#include "activity/log_hold.h"
#include "activity/log_hooks.h"
#include "rdx_activity.h"
#include "rdx_status.h"

#include <atomic>

namespace rdx {

uint32_t ConnectCheck(bool command) {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    return command ? CommandStatus() : RDSTATUS_OK;
}

ConnectionRecord *FindConnection(uint32_t handle) {
    for (ConnectionRecord *c = Connections().connectionSlots[handle % kConnectionSlots];
         c != nullptr; c = c->next) {
        if (c->handle == handle) return c;
    }
    return nullptr;
}

void SlotInsert(ConnectionRecord *connection) {
    ConnectionRecord *&head = Connections().connectionSlots[connection->handle % kConnectionSlots];
    connection->prev = nullptr;
    connection->next = head;
    if (head != nullptr) head->prev = connection;
    head = connection;
    connection->inSlot = true;
}

void SlotRemove(ConnectionRecord *connection) {
    if (!connection->inSlot) return;
    ConnectionRecord *&head = Connections().connectionSlots[connection->handle % kConnectionSlots];
    if (connection->prev != nullptr)
        connection->prev->next = connection->next;
    else
        head = connection->next;
    if (connection->next != nullptr) connection->next->prev = connection->prev;
    connection->next = connection->prev = nullptr;
    connection->inSlot = false;
}

// The counters are written by the activity's thread only, but another
// thread may read them while it runs (RDActivityGetStatistics): single
// relaxed loads and stores keep both sides whole.
void CountCall(uint32_t entry) {
    if (Holding()) return HoldCall(entry);
    std::atomic_ref<uint32_t> count(Connections().callCounts[entry]);
    const uint32_t value = count.load(std::memory_order_relaxed);
    if (value != UINT32_MAX) count.store(value + 1, std::memory_order_relaxed);
}

void CountRecords(uint32_t entry, uint32_t count) {
    if (Holding()) return HoldRecords(entry, count);
    std::atomic_ref<uint32_t> total(Connections().recordCounts[entry]);
    const uint32_t value = total.load(std::memory_order_relaxed);
    if (value == RDX_COUNT_UNKNOWN) return;
    // A total beyond 32 bits is no longer known either.
    total.store(count > RDX_COUNT_UNKNOWN - value ? RDX_COUNT_UNKNOWN : value + count,
                std::memory_order_relaxed);
}

EntryCall::EntryCall(ConnectionRecord *connection, uint32_t entry, uint32_t argument)
    : connection_(connection), saved_(ThreadLog().current), entry_(entry), argument_(argument) {
    ++connection_->busy;
    ThreadLog().lastLogConnection = nullptr;
    Mark();
}

EntryCall::~EntryCall() {
    ThreadLog().current = saved_;
    if (--connection_->busy == 0 && connection_->freePending) FreeConnection(connection_);
}

void EntryCall::Mark() const {
    ThreadLog().current = CurrentOperation{connection_, entry_, argument_};
}

uint32_t LogFailure(uint32_t status) {
    if (status != RDSTATUS_OK) RDActivityLog(status);
    return status;
}

namespace {

const RDStream *ConnectionName(const ConnectionRecord *connection) {
    return &connection->name;
}

} // namespace

void InstallConnectionName() {
    g_logHooks.connectionName = ConnectionName;
}

} // namespace rdx
