// SPDX-License-Identifier: Apache-2.0
// The process-wide state of the fields: the handle tables of fields and
// field lists and the sequence counter of list layouts.
#pragma once

#include "fields/handle_table.h"

#include <cstdint>

namespace rdx {

struct FieldsContext {
    HandleTable fieldTable;     // field handles; issues 1 first after set-up
    HandleTable fieldlistTable; // field-list handles; likewise
    uint32_t nextSequence;      // next layout sequence number; 1 after set-up
};

} // namespace rdx
