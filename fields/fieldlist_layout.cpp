// SPDX-License-Identifier: Apache-2.0
// Adding, replacing, removing and renaming slots. Every change is made
// aside and committed whole, so a failure leaves the list as it was.
#include "fields/fieldlist_internal.h"
#include "rdplat_mem.h"

#include <optional>

using namespace rdx;

namespace {

// 12297 or 12291 unless 1 <= position <= count.
uint32_t CheckPosition(const Fieldlist &list, uint32_t position) {
    if (position == 0) return RDSTATUS_INDEXZERO;
    return position > list.count ? RDSTATUS_BEYONDEND : RDSTATUS_OK;
}

// Makes everything a new or replacing slot needs: the name array of the
// name's character set, a field handle, the grown arrays (when growing)
// and the slot. On failure everything is given back.
uint32_t Prepare(Fieldlist &list, const RDStream &name, uint32_t type, bool grow, Growth &growth,
                 SlotAside &slot) {
    growth = Growth{};
    slot = SlotAside{};
    const NameArrayMark mark = NameArrayMarkOf(*list.nameBlock);
    uint32_t index = 0;
    uint32_t status = NameArrayFindOrAdd(list, name.charset, &index);
    if (status == RDSTATUS_OK && list.fieldBlock != nullptr) status = FieldHandlesReserve(1);
    if (status == RDSTATUS_OK && grow) status = GrowthPrepare(list, growth);
    if (status == RDSTATUS_OK) status = SlotMake(list, name, type, slot);
    if (status != RDSTATUS_OK) {
        GrowthDiscard(growth);
        NameArrayUndo(list, mark);
    }
    return status;
}

// A new slot at slot index j (0 <= j <= count).
uint32_t SlotInsert(Fieldlist &list, uint32_t j, const RDStream &name, uint32_t type,
                    uint32_t *field) {
    if (uint32_t status = CheckLayoutChange(list); status != RDSTATUS_OK) return status;
    Growth growth;
    SlotAside slot;
    if (uint32_t status = Prepare(list, name, type, true, growth, slot); status != RDSTATUS_OK)
        return status;
    GrowthCommit(list, growth);
    SlotsShift(list, j, 1);
    SlotPlace(list, j, slot);
    SetSlotCount(list, list.count + 1);
    list.modified = 1;
    if (field != nullptr) *field = SlotHandle(list, j);
    return RDSTATUS_OK;
}

// The opening of the functions that add or replace a named slot: clears
// the field handle out, then finds the list and checks the name.
uint32_t OpenNamed(uint32_t handle, const RDStream *name, uint32_t *field, Fieldlist **list) {
    if (field != nullptr) *field = 0;
    if (uint32_t status = FieldlistOf(handle, list); status != RDSTATUS_OK) return status;
    return name == nullptr ? RDSTATUS_NONAME : RDSTATUS_OK;
}

// A new slot at position (1 for the first), or after the last without one.
uint32_t InsertNamed(uint32_t handle, std::optional<uint32_t> position, const RDStream *name,
                     uint32_t type, uint32_t *field) {
    Fieldlist *list = nullptr;
    if (uint32_t status = OpenNamed(handle, name, field, &list); status != RDSTATUS_OK)
        return status;
    const uint32_t at = position.value_or(list->count + 1);
    if (at == 0) return RDSTATUS_INDEXZERO;
    if (at > list->count + 1) return RDSTATUS_BEYONDEND;
    return SlotInsert(*list, at - 1, *name, type, field);
}

// Frees the names of slot j in every array.
void SlotNamesFree(Fieldlist &list, uint32_t j) {
    NameBlock &names = *list.nameBlock;
    for (uint32_t c = 0; c < names.charsetCount; ++c)
        RDStreamDataFree(&names.names[c][j]);
}

} // namespace

extern "C" RD_EXPORT uint32_t RDFieldlistAppend(uint32_t handle, const RDStream *name,
                                                uint32_t type, uint32_t *field) {
    return InsertNamed(handle, std::nullopt, name, type, field);
}

extern "C" RD_EXPORT uint32_t RDFieldlistInsert(uint32_t handle, uint32_t position,
                                                const RDStream *name, uint32_t type,
                                                uint32_t *field) {
    return InsertNamed(handle, position, name, type, field);
}

extern "C" RD_EXPORT uint32_t RDFieldlistReplace(uint32_t handle, uint32_t position,
                                                 const RDStream *name, uint32_t type,
                                                 uint32_t *field) {
    Fieldlist *list = nullptr;
    if (uint32_t status = OpenNamed(handle, name, field, &list); status != RDSTATUS_OK)
        return status;
    if (uint32_t status = CheckPosition(*list, position); status != RDSTATUS_OK) return status;
    if (uint32_t status = CheckLayoutChange(*list); status != RDSTATUS_OK) return status;
    Growth growth;
    SlotAside slot;
    if (uint32_t status = Prepare(*list, *name, type, false, growth, slot); status != RDSTATUS_OK)
        return status;
    const uint32_t j = position - 1;
    if (list->fieldBlock != nullptr) FieldRelease(list->fieldBlock->fields[j]);
    SlotNamesFree(*list, j);
    SlotPlace(*list, j, slot);
    list->modified = 1;
    if (field != nullptr) *field = SlotHandle(*list, j);
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDFieldlistRemove(uint32_t handle, uint32_t position) {
    Fieldlist *list = nullptr;
    if (uint32_t status = FieldlistOf(handle, &list); status != RDSTATUS_OK) return status;
    if (uint32_t status = CheckPosition(*list, position); status != RDSTATUS_OK) return status;
    if (uint32_t status = CheckLayoutChange(*list); status != RDSTATUS_OK) return status;
    const uint32_t j = position - 1;
    if (list->fieldBlock != nullptr) FieldRelease(list->fieldBlock->fields[j]);
    SlotNamesFree(*list, j);
    SlotsShift(*list, j + 1, -1);
    SetSlotCount(*list, list->count - 1);
    list->modified = 1;
    return RDSTATUS_OK;
}

// The new name is made in every array aside; the old names go only when
// all of them could be made.
extern "C" RD_EXPORT uint32_t RDFieldlistSetName(uint32_t handle, uint32_t position,
                                                 const RDStream *name) {
    Fieldlist *list = nullptr;
    if (uint32_t status = FieldlistOf(handle, &list); status != RDSTATUS_OK) return status;
    if (name == nullptr) return RDSTATUS_NONAME;
    if (uint32_t status = CheckPosition(*list, position); status != RDSTATUS_OK) return status;
    if (uint32_t status = CheckRename(*list); status != RDSTATUS_OK) return status;
    NameBlock &names = *list->nameBlock;
    auto *made = static_cast<RDStream *>(ArrayAllocate(names.charsetCount, sizeof(RDStream)));
    if (made == nullptr) return RDSTATUS_NOMEMORY;
    if (uint32_t status = NamesMake(names, *name, made); status != RDSTATUS_OK) {
        RDMemFree(made);
        return status;
    }
    const uint32_t j = position - 1;
    SlotNamesFree(*list, j);
    for (uint32_t c = 0; c < names.charsetCount; ++c)
        names.names[c][j] = made[c];
    RDMemFree(made);
    list->modified = 1;
    return RDSTATUS_OK;
}
