// SPDX-License-Identifier: Apache-2.0
// RDSystemInit and RDSystemTerm: the life of the system context.
#include "activity/system_context.h"

#include "fields/field_internal.h"
#include "rdplat_mem.h"
#include "rdx_status.h"
#include "rdx_system.h"
#include "translate/translation.h"

#include <cstddef>
#include <iterator>

namespace rdx {

SystemContext *g_systemContext = nullptr;

namespace {

bool systemReady = false;

// The set-up steps of the context's parts, in set-up order; tear-down runs
// backwards. Each tear-down does nothing for a part that is not set up.
struct PartSetUp {
    uint32_t (*setUp)();
    void (*tearDown)();
};

constexpr PartSetUp kParts[] = {
    {TranslationSetUp, TranslationTearDown},
    {FieldsSetUp, FieldsTearDown},
};

void TearDownParts() {
    for (std::size_t i = std::size(kParts); i-- > 0;)
        kParts[i].tearDown();
}

void DropContext() {
    RDMemFree(g_systemContext);
    g_systemContext = nullptr;
}

} // namespace

void SetTranslationMode(uint32_t mode) {
    if (TranslationReady() && mode <= 2) g_systemContext->translation.translationMode = mode;
}

uint32_t GetTextFormat() {
    return TranslationReady() ? g_systemContext->translation.textFormat : 0;
}

} // namespace rdx

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDSystemInit(void) {
    if (systemReady) {
        ++g_systemContext->refCount;
        return RDSTATUS_OK;
    }
    g_systemContext = static_cast<SystemContext *>(RDMemCalloc(sizeof(SystemContext)));
    if (g_systemContext == nullptr) return RDSTATUS_NOMEMORY;
    g_systemContext->refCount = 1;
    for (const PartSetUp &part : kParts) {
        uint32_t status = part.setUp();
        if (status != RDSTATUS_OK) {
            TearDownParts();
            DropContext();
            return status;
        }
    }
    systemReady = true;
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDSystemTerm(void) {
    if (!systemReady) return RDSTATUS_OK;
    if (--g_systemContext->refCount > 0) return RDSTATUS_OK;
    TearDownParts();
    DropContext();
    systemReady = false;
    return RDSTATUS_OK;
}
