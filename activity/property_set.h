// SPDX-License-Identifier: Apache-2.0
// Property sets: growable arrays of (number, type, value) items that hold an
// activity's description, its put-back and local values, and the link
// descriptions read while a connection is made. The server-manager client
// fills sets from description answers and walks them to send values back.
#pragma once

#include "rdx_property.h"

#include <cstdint>

// One item: a property number, a value type code (1-7) and a separately
// allocated copy of the value (an RDStream owning its data for 6 and 7),
// or null for an item without a value.
struct PropertyItem {
    uint32_t number;
    uint32_t type;
    void *value;
};

struct PropertySet {
    uint32_t capacity;   // slots allocated
    uint32_t count;      // slots in use
    uint32_t cursor;     // position of the walk
    PropertyItem *items; // zero-filled beyond count
};

namespace rdx {

// Bytes of the stored value of a type code; 0 for a code that is not 1-7.
uint32_t PropertyValueSize(uint32_t type);

// True when a stored number answers a requested one: equal low 24 bits, and
// the stored qualifier byte is 0 or equal to the requested one.
constexpr bool PropertyNumberMatches(uint32_t stored, uint32_t requested) {
    if (((stored ^ requested) & 0x00FFFFFFu) != 0) return false;
    return (stored >> 24) == 0 || (stored >> 24) == (requested >> 24);
}

// A new empty set in *out: 0, 12302 for a null out, 258.
uint32_t PropertySetCreate(PropertySet **out);

// The first matching item's type and value pointer: 0, or 12555 when the
// set is null or holds no match (the given outs are then 0).
uint32_t PropertySetFind(const PropertySet *set, uint32_t number, uint32_t *type, void **value);

// Appends a copy of *value (null stores an item without a value): 0, 258
// (set unchanged), 12555 for a null set, 12810 for a type that is not 1-7.
uint32_t PropertySetAdd(PropertySet *set, uint32_t number, uint32_t type, const void *value);

// Takes out the first matching item and releases its value: 0 or 12555.
uint32_t PropertySetRemove(PropertySet *set, uint32_t number);

// Releases every value, the array and the set; null is ignored.
void PropertySetFree(PropertySet *set);

// Items in use; 0 for a null set.
uint32_t PropertySetCount(const PropertySet *set);

// The item at the cursor (from the first when restart is set), then the
// cursor moves on: 0, or 12290 past the last item or for a null set. Each
// out may be null.
uint32_t PropertySetWalk(PropertySet *set, bool restart, uint32_t *number, uint32_t *type,
                         void **value);

// The stored Int of the first match when it has type 1 and a value, else 0.
int32_t PropertySetReadInt(const PropertySet *set, uint32_t number);

// 1 or 0 for a stored non-zero or zero Int of the first match (type 1 with
// a value), else fallback.
uint32_t PropertySetReadFlag(const PropertySet *set, uint32_t number, uint32_t fallback);

} // namespace rdx
