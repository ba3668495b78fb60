// SPDX-License-Identifier: Apache-2.0
// Moving property values between property sets, fields and the environment.
#pragma once

#include "activity/activity_state.h"

#include <cstdint>

namespace rdx {

// Stores a set item's value (type code and value pointer) as value 1 of
// field: 0, 12810 for a type a field cannot take, or the setter's status.
uint32_t StoreItemInField(uint32_t type, const void *value, uint32_t field);

// Sets the environment variable of property to value 1 of field, or
// removes it when that value is null.
uint32_t PutEnvironmentProperty(const AddedProperty &property, uint32_t field);

// Reads the environment variable of property into value 1 of field; an
// unset variable reads as null.
uint32_t GetEnvironmentProperty(const AddedProperty &property, uint32_t field);

} // namespace rdx
