// SPDX-License-Identifier: Apache-2.0
// The kit type of quarry.ini: 1 when each activity program runs a server
// manager of its own.
#include "csmgr/server.h"

#include "rdplat_ini.h"
#include "rdplat_status.h"

#include <charconv>
#include <cstring>

namespace rdx::csmgr {

uint32_t ReadKitType(uint32_t &kitType) {
    kitType = 0;
    char text[RDINI_LINE_MAX + 1] = "";
    uint32_t status = RDINIGetString("Configuration", "KitType", text, "quarry.ini");
    if (status != 0) return status;
    // Read as a decimal number: what does not read as one counts as 0.
    const char *end = text + std::strlen(text);
    std::from_chars(text, end, kitType);
    return kitType == 0 ? RDSTATUS_INIMISSING : 0;
}

} // namespace rdx::csmgr
