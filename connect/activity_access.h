// SPDX-License-Identifier: Apache-2.0
// What the connection layer reads of the activity: its connector's name and
// its properties, straight from the activity's part of the system context.
#pragma once

#include "activity/property_set.h"

#include <cstdint>
#include <string_view>

namespace rdx {

// The activity connector's name in native text; empty when there is none.
std::string_view ActivityConnectorName();

// The Int value of an activity property as a get finds it (put-back values,
// then local values, then the description); 0 when absent, null or not Int.
int32_t ActivityPropertyInt(uint32_t number);

} // namespace rdx
