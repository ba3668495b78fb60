// SPDX-License-Identifier: Apache-2.0
// The information answer (code 3): eight values, the translation mode, the
// server manager's text and its international formats.
#pragma once

#include "csmgr/message.h"

#include "rdplat_intl.h"
#include "rdx_csmgr.h"

#include <cstdint>
#include <string_view>

namespace rdx::csmgr {

struct Information {
    uint32_t values[8];
    uint32_t translationMode;
    std::string_view text; // within the answer, without its NUL
    RDIntlFormat intl;
};

// Decodes a complete information answer (at least kInfoLength bytes).
Information DecodeInformation(ConstBytes answer);

// Sends the information request with body word (0 from CSMgrInit, 1 from
// CSMgrServerInfo) and, when its status is 0, copies the values and the text
// into info (when given). Returns the status; information is set on 0.
uint32_t RequestInformation(uint32_t word, ServerInfoRecord *info, Information &information);

// Hands the translation mode to the system context and the international
// formats to the platform; returns the platform's status.
uint32_t ApplyInformation(const Information &information);

} // namespace rdx::csmgr
