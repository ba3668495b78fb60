// SPDX-License-Identifier: Apache-2.0
// What the log needs of the parts that are built on it: the server-manager
// client sends entries, the property and connection layers name properties
// and connections. Each hook is null until its part installs it; the log
// then sends nothing, writes property numbers, and writes no connection
// section.
#pragma once

#include "activity/log_text.h"
#include "rdx_stream.h"

#include <cstdint>

struct ConnectionRecord;

namespace rdx {

struct LogHooks {
    // Sends a finished entry to the server manager (CSMgrLog); its status is
    // not used.
    uint32_t (*send)(uint32_t handle, uint32_t message, const RDStream *text);
    // Appends the name of property number (by the declarations of the
    // connection's link, then the activity connector's, then the added
    // properties) in character set 256; false when none has it.
    bool (*propertyName)(const ConnectionRecord *connection, uint32_t number, TextBuffer &out);
    // The connection's name.
    const RDStream *(*connectionName)(const ConnectionRecord *connection);
};

extern LogHooks g_logHooks;

} // namespace rdx
