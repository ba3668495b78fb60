// SPDX-License-Identifier: Apache-2.0
// Loading link connectors: the checks a library must pass, the chain of
// loaded links and their link codes.
#pragma once

#include "connect/connect_state.h"

#include <cstdint>
#include <string_view>

namespace rdx {

// A connection private area larger than this is refused at load: no
// connector needs it, and a wrong word 4 must not become a huge allocation.
constexpr uint32_t kMaxPrivateSize = 16u << 20;

// Declarations read before the ending entry must be found; a table without
// one within this many entries is refused.
constexpr uint32_t kMaxDeclarations = 65535;

// The exported name of an entry point ("" for 0).
std::string_view EntryName(uint32_t number);

// The link of name, loaded once per activity (names equal ignoring letter
// case). quiet asks the loader for no error dialog. 0, or 258, 1546, 1547,
// 1548, or the status of RDXIdentify; nothing of a failed load remains.
uint32_t LoadLink(const RDStream *name, bool quiet, LinkRecord **out);

// The code that the interface hands out for a link.
inline uint32_t LinkCodeOf(const LinkRecord *link) {
    return link->linkCode & 0xFFFF0000u;
}

// Unloads every link, frees their records and clears the link counter.
void UnloadLinks();

} // namespace rdx
