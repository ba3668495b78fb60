// SPDX-License-Identifier: Apache-2.0
// Caller flags and the virtual code: stored for the connectors and the
// merge; a change marks the owning list's layout as modified.
#include "fields/field_internal.h"
#include "fields/fieldlist_internal.h"

using namespace rdx;

namespace {

void MarkOwnerModified(const Field &field) {
    if (field.owner != nullptr) field.owner->modified = 1;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDFieldSetFlags(uint32_t handle, uint32_t flags) {
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    Field *field = FindField(handle);
    if (field == nullptr) return RDSTATUS_NOFIELD;
    constexpr uint32_t kPair = RDFIELD_PAIR_LOW | RDFIELD_PAIR_HIGH;
    if ((flags & kPair) == kPair) return RDSTATUS_BADFLAGS;
    field->flags = (field->flags & ~RDFIELD_CALLER_MASK) | (flags & RDFIELD_CALLER_MASK);
    MarkOwnerModified(*field);
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDFieldSetVirtualCode(uint32_t handle, uint32_t code) {
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    Field *field = FindField(handle);
    if (field == nullptr) return RDSTATUS_NOFIELD;
    field->virtualCode = code;
    MarkOwnerModified(*field);
    return RDSTATUS_OK;
}
