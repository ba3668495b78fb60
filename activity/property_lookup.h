// SPDX-License-Identifier: Apache-2.0
// The stored values of activity properties, for the typed getters' direct
// path.
#pragma once

#include <cstdint>

namespace rdx {

// The item of number in the put-back, local or description set (the first
// that holds one), unless number is one the system answers itself: true
// with the item's type code and value pointer (null for an item without a
// value). Needs an activity.
bool FindStoredProperty(uint32_t number, uint32_t *type, void **value);

} // namespace rdx
