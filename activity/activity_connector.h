// SPDX-License-Identifier: Apache-2.0
// The activity's connector: the plug-in NAME.rdx of the home directory that
// the activity's description names, loaded, identified and checked when an
// activity starts.
#pragma once

#include "rdx_activity.h"

#include <cstdint>

namespace rdx {

// Enters block as the activity's block, creates the description set and,
// for a block with a handle, fetches the description and loads the
// connector it names. Without a connector name the result is 1538, or 0
// when optional is set. Other results: 0, 258, 1539, 1540, 1541, 1542,
// 1543, the server manager's status or the connector's RDXIdentify status.
uint32_t LoadActivityConnector(ActivityBlock *block, bool optional);

// Logs status 1539 or 1540 with the connector's name when the name is known.
void LogConnectorFailure(uint32_t status);

// Unloads the connector and releases its name and identify record.
void UnloadActivityConnector();

} // namespace rdx
