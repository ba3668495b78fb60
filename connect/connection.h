// SPDX-License-Identifier: Apache-2.0
// Internal operations of the connection layer shared by its exported
// functions: the opening checks, the handle slots, the statistics, the
// entry-point call guard, and the steps that connections and links share.
#pragma once

#include "activity/system_context.h"
#include "connect/connect_state.h"

#include <cstdint>

namespace rdx {

inline ConnectState &Connections() {
    return Context()->connect;
}

// 12321 without an activity; with command, 1542 or 1543 for the block's
// command 1 or 2; else 0.
uint32_t ConnectCheck(bool command);

// The connection of handle, or null.
ConnectionRecord *FindConnection(uint32_t handle);

// Puts the record at the head of the chain of slot handle modulo 8, or
// takes it out of its chain.
void SlotInsert(ConnectionRecord *connection);
void SlotRemove(ConnectionRecord *connection);

// The statistics: a successful call of entry, and a count of records that
// the connector reported (0xFFFFFFFF, unknown, sticks). Both saturate.
void CountCall(uint32_t entry);
void CountRecords(uint32_t entry, uint32_t count);

// The entry point of a link, typed.
template <typename Proc> Proc Entry(const LinkRecord *link, uint32_t number) {
    return reinterpret_cast<Proc>(link->entries[number]);
}

// Marks the current operation for the log around one entry-point call and
// restores the caller's afterwards, so that a connector calling back into
// the library does not clear its caller's. While it lives the connection
// counts as busy: a free asked for meanwhile waits until the outermost call
// has returned, and happens when the guard ends. The log-once rule of
// RDActivityLog sees only what the connector logged during this call.
class EntryCall {
  public:
    EntryCall(ConnectionRecord *connection, uint32_t entry, uint32_t argument);
    ~EntryCall();
    EntryCall(const EntryCall &) = delete;
    EntryCall &operator=(const EntryCall &) = delete;

    // Sets the current operation again (after a step that changed it).
    void Mark() const;

  private:
    ConnectionRecord *connection_;
    CurrentOperation saved_;
    uint32_t entry_, argument_;
};

// Logs a failed entry-point status (unless the connector logged that number
// during the call) and returns the status unchanged.
uint32_t LogFailure(uint32_t status);

// RDXDisconnect with the activity's status word when connected; no activity
// check, so that the end of an activity can still close its connections.
uint32_t DisconnectConnection(ConnectionRecord *connection);

// RDConnectFree's work on a found connection (see the guard for busy ones).
void FreeConnection(ConnectionRecord *connection);

// The property calls on a found connection. A quiet get logs nothing.
uint32_t GetConnectionProperty(ConnectionRecord *connection, uint32_t number, uint32_t field,
                               bool quiet);
uint32_t SetConnectionProperty(ConnectionRecord *connection, uint32_t number, uint32_t field);

// The scratch field of a type code (1-7), allocated on first use: 0 or a
// status of RDFieldAlloc.
uint32_t ScratchField(uint32_t type, uint32_t *field);

// Sets a property from a stored value of type code 1-7 (null for a null
// value) through the scratch field of its type.
uint32_t SetConnectionPropertyValue(ConnectionRecord *connection, uint32_t number, uint32_t type,
                                    const void *value);

// Reads a property as an RDStream of charset without logging a failure.
uint32_t ReadPropertyQuietly(ConnectionRecord *connection, uint32_t number, RDStream *out);

// Installs the log's connection-name hook.
void InstallConnectionName();

} // namespace rdx
