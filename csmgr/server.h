// SPDX-License-Identifier: Apache-2.0
// Start and stop of the server manager and the requests of the attachment,
// shared by the client functions.
#pragma once

#include "csmgr/message.h"

#include <cstdint>

namespace rdx::csmgr {

// The program started for a private server manager, in the home directory.
inline constexpr const char *kProgramName = "rdcsm";
// The seconds CSMgrStartup gives a started server manager to open its pipe.
inline constexpr uint32_t kStartupSeconds = 10;
// The seconds a busy pipe is waited for when asking whether the server
// manager is there (a missing one is known at once).
inline constexpr uint32_t kExistsSeconds = 90;

// Reads "KitType" of quarry.ini into kitType: 0, or 534 (missing, empty or 0)
// or 535 (quarry.ini cannot be opened).
uint32_t ReadKitType(uint32_t &kitType);

// Sends a request of the given code whose body is at most one word at 16
// (requests of 16 or 20 bytes) and returns the answer's status.
uint32_t SendBare(uint32_t code, uint32_t length, uint32_t word16 = 0);

// Replaces the seconds CSMgrStartup waits (for tests).
void SetStartupSeconds(uint32_t seconds);

} // namespace rdx::csmgr
