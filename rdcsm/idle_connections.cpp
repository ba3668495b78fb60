// SPDX-License-Identifier: Apache-2.0
// The silent connections: held in order of their taking, each one reported
// once by the pipe events; whoever removes a connection from the map owns it.
#include "idle_connections.h"

namespace rdcsm {

void IdleConnections::Hold(RDIPCHandle connection, Clock::time_point deadline) {
    std::lock_guard guard(mutex_);
    if (held_.size() >= kMaxIdle) LetGo(held_.begin());
    const uint64_t id = next_++;
    const Entry entry = held_.emplace(id, Held{connection, deadline}).first;
    if (!events_.Watch(RDIPCDescriptor(connection), id)) {
        held_.erase(entry);
        RDIPCClose(connection);
        return;
    }
    if (entry == held_.begin()) events_.RearmTimer(deadline);
}

RDIPCHandle IdleConnections::Take(uint64_t id) {
    std::lock_guard guard(mutex_);
    const auto entry = held_.find(id);
    if (entry == held_.end()) return nullptr;
    RDIPCHandle connection = entry->second.connection;
    events_.Forget(RDIPCDescriptor(connection));
    held_.erase(entry);
    return connection;
}

void IdleConnections::Expire() {
    std::lock_guard guard(mutex_);
    events_.ClearTimer();
    const Clock::time_point now = Clock::now();
    while (!held_.empty() && held_.begin()->second.deadline <= now)
        LetGo(held_.begin());
    if (held_.empty())
        events_.RearmTimer(std::nullopt);
    else
        events_.RearmTimer(held_.begin()->second.deadline);
}

bool IdleConnections::LetGoOldest() {
    std::lock_guard guard(mutex_);
    if (held_.empty()) return false;
    LetGo(held_.begin());
    return true;
}

void IdleConnections::CloseAll() {
    std::lock_guard guard(mutex_);
    while (!held_.empty())
        LetGo(held_.begin());
}

void IdleConnections::LetGo(Entry entry) {
    events_.Forget(RDIPCDescriptor(entry->second.connection));
    RDIPCClose(entry->second.connection);
    held_.erase(entry);
}

} // namespace rdcsm
