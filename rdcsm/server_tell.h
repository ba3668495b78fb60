// SPDX-License-Identifier: Apache-2.0
// `rdcsm status` and `rdcsm stop`: the server manager of this home asked
// and its answer told in words.
#pragma once

#include <cstdint>

namespace rdcsm {

// Tells whether a server manager serves this home and, if so, its process,
// clients, runs and definitions. 0 when one answered, else 1.
int TellStatus(uint32_t waitMs);

// Asks the server manager to end and tells whether it did within waitMs.
// 0 when it took the request, else 1.
int StopServer(uint32_t waitMs);

} // namespace rdcsm
