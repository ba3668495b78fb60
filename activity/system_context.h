// SPDX-License-Identifier: Apache-2.0
// The one process-wide record of rdxapi. Each subsystem keeps its state in
// a sub-record of its own; later subsystems append theirs at the end (field
// registries, activity, connections, log, entry-point statistics), so no
// existing member moves.
#pragma once

#include "activity/activity_state.h"
#include "connect/connect_state.h"
#include "translate/translation_context.h"

#include <cstdint>

namespace rdx {

struct SystemContext {
    uint32_t refCount; // RDSystemInit calls not yet matched by RDSystemTerm
    TranslationContext translation;
    ActivityState activity;
    LogState log;
    ConnectState connect;
};

// The process-wide context: null when there is none.
extern SystemContext *g_systemContext;

inline SystemContext *Context() {
    return g_systemContext;
}

// Stores mode (0, 1 or 2) as the translation mode while translation is set
// up; any other value is ignored.
void SetTranslationMode(uint32_t mode);

// The native character-set code while translation is set up, else 0.
uint32_t GetTextFormat();

} // namespace rdx
