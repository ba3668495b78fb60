// SPDX-License-Identifier: Apache-2.0
// Action codes and properties that this project's connectors and activities
// share.
#pragma once

#include "rdx_connect.h"

#include <cstdint>

namespace rdxc {

// Discard what the connection holds that is not committed yet (records
// sent into a transaction that ends at the disconnect). An activity whose
// copy failed or was stopped asks it of its target before the connection
// ends, so that such a copy commits nothing it did not commit already. The
// library lets it through while a stop is pending.
inline constexpr uint32_t kActionRollback = RDACTION_ROLLBACK;

// Read-only Int: the records inserted through the connection that it has
// not committed yet (a transaction that ends at the disconnect). Connectors
// that commit every call do not have it (12555), which means 0.
inline constexpr uint32_t kUncommitted = 0x0F05;

// Object kinds of RDConnectCreate for a copy's target table. kCreateTable
// makes it from the field list and fails when it exists; kReplaceTable
// drops it when it exists and makes it from the field list; kEmptyTable
// deletes its rows and keeps its columns and indexes (the field list is not
// read). A pending mark is committed with the change, in one transaction
// where the target has them, so that the old table stays whole until the
// new one holds the copy's start. kEnsureTable makes the table when it is
// not there and keeps it, as it is, when it is.
inline constexpr uint32_t kCreateTable = 3;
inline constexpr uint32_t kReplaceTable = 0x0F11;
inline constexpr uint32_t kEmptyTable = 0x0F12;
inline constexpr uint32_t kEnsureTable = 0x0F13;

// Whether kind is one of the four above.
constexpr bool IsTableKind(uint32_t kind) {
    return kind == kCreateTable || kind == kReplaceTable || kind == kEmptyTable ||
           kind == kEnsureTable;
}

} // namespace rdxc
