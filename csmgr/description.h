// SPDX-License-Identifier: Apache-2.0
// Description items of the get- and put-description requests: packed
// (type, character set, number, size) headers followed by the value, ended by
// an item of type 0.
#pragma once

#include "csmgr/message.h"

#include "rdx_property.h"

#include <cstdint>

namespace rdx::csmgr {

// Adds the items of a description answer (received bytes only, items from
// byte 25) to set. The first failure of the set ends the walk and is the
// result; an item that does not fit the answer, of an unknown type or of a
// size its type cannot have ends it with 783.
uint32_t ReadDescription(ConstBytes answer, PropertySet *set);

} // namespace rdx::csmgr
