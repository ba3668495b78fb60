// SPDX-License-Identifier: Apache-2.0
// The connection layer's part of the system context: the loaded links, the
// connections by handle slot, the entry-point statistics and the scratch
// fields of the typed property short-cuts of connections.
#pragma once

#include "rdplat_file.h"
#include "rdplat_library.h"
#include "rdx_connector.h"
#include "rdx_stream.h"

#include <cstdint>

// One loaded link connector, kept in a chain newest first.
struct LinkRecord {
    char *name;          // NUL-terminated copy of the link's name, native set
    uint32_t nameLength; // its length in bytes
    RDLibHandle library;
    void *entries[RDXENTRY_COUNT]; // by entry-point number; 0 and 2 stay empty
    IdentifyRecord *identify;
    uint32_t declarationCount; // declarations before the ending entry
    // Link number x 65536 + the number the next connection gets.
    uint32_t linkCode;
    uint32_t liveConnections;
    LinkRecord *next;
};

// One connection: a use of a link by the activity.
struct ConnectionRecord {
    LinkRecord *link;
    uint32_t qualifier; // the link reference's top byte, in place
    uint32_t linkDescriptionId;
    uint32_t optionDescriptionId;
    uint32_t connectCode; // link number x 65536 + number within the link
    uint32_t handle;
    RDStream name;
    void *priv; // the connector's private area
    uint32_t connected;
    uint32_t listIndex; // cursor of RDConnectListProperty
    // Entry-point calls of this connection in progress; a free asked for
    // meanwhile is carried out when the outermost call returns.
    uint32_t busy;
    bool freePending;
    bool inSlot;
    ConnectionRecord *next, *prev;
};

namespace rdx {

constexpr uint32_t kConnectionSlots = 8;

struct ConnectState {
    uint32_t linkCounter; // 0, or the last link number x 65536 + 65536
    LinkRecord *linkChain;
    RDListHandle linkListing; // open listing of RDActivityListLink
    uint32_t nextConnectionHandle;
    ConnectionRecord *connectionSlots[kConnectionSlots];
    uint32_t callCounts[RDXENTRY_COUNT];
    uint32_t recordCounts[RDXENTRY_COUNT];
    uint32_t scratchFields[8]; // one field of one value per type code 1-7
};

} // namespace rdx
