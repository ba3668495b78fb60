// SPDX-License-Identifier: Apache-2.0
// Finding a field by name: the first visible slot whose name equals the
// one asked for (see NameMatcher).
#include "fields/fieldlist_internal.h"
#include "fields/name_match.h"

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDFieldlistLookup(uint32_t handle, const RDStream *name,
                                                uint32_t *field, uint32_t *position) {
    if (field != nullptr) *field = 0;
    if (position != nullptr) *position = 0;
    Fieldlist *list = nullptr;
    if (uint32_t status = FieldlistOf(handle, &list); status != RDSTATUS_OK) return status;
    if (name == nullptr) return RDSTATUS_NONAME;
    uint32_t index = 0;
    if (uint32_t status = NameArrayFindOrAdd(*list, name->charset, &index); status != RDSTATUS_OK)
        return status;
    const RDStream *names = list->nameBlock->names[index];
    const NameMatcher matcher(name->charset);
    for (uint32_t slot = 0; slot < list->count; ++slot) {
        if (!matcher.Equal(names[slot], *name) || SlotHidden(*list, slot)) continue;
        if (field != nullptr) *field = SlotHandle(*list, slot);
        if (position != nullptr) *position = slot + 1;
        return RDSTATUS_OK;
    }
    return RDSTATUS_NOFIELD;
}
