// SPDX-License-Identifier: Apache-2.0
// Reading a list's slots: by cursor, by visible position, and the total
// length of its names. Asking in a new character set adds its name array.
#include "fields/fieldlist_internal.h"

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDFieldlistGetNameLength(uint32_t handle, uint32_t charset) {
    Fieldlist *list = nullptr;
    if (uint32_t status = FieldlistOf(handle, &list); status != RDSTATUS_OK)
        return status == RDSTATUS_NOTREADY ? status : 0;
    uint32_t index = 0;
    if (NameArrayFindOrAdd(*list, charset, &index) != RDSTATUS_OK) return 0;
    uint32_t total = 0;
    for (uint32_t j = 0; j < list->count; ++j)
        total += RDStreamDataGetLength(&list->nameBlock->names[index][j]);
    return total;
}

extern "C" RD_EXPORT uint32_t RDFieldlistListSetup(uint32_t handle, uint32_t charset) {
    Fieldlist *list = nullptr;
    if (uint32_t status = FieldlistOf(handle, &list); status != RDSTATUS_OK) return status;
    uint32_t index = 0;
    if (uint32_t status = NameArrayFindOrAdd(*list, charset, &index); status != RDSTATUS_OK) {
        list->cursor = -1;
        return status;
    }
    list->cursor = 0;
    list->cursorCharset = index;
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDFieldlistList(uint32_t handle, uint32_t *field, uint32_t *position,
                                              uint32_t *type, uint32_t *flags, RDStream **name) {
    if (field != nullptr) *field = 0;
    if (position != nullptr) *position = 0;
    if (type != nullptr) *type = 0;
    if (flags != nullptr) *flags = 0;
    if (name != nullptr) *name = nullptr;
    Fieldlist *list = nullptr;
    if (uint32_t status = FieldlistOf(handle, &list); status != RDSTATUS_OK) return status;
    if (list->cursor < 0) return RDSTATUS_NOLISTING;
    auto slot = static_cast<uint32_t>(list->cursor);
    while (slot < list->count && SlotHidden(*list, slot))
        ++slot;
    if (slot >= list->count) {
        list->cursor = static_cast<int32_t>(slot);
        return RDSTATUS_NOENTRY;
    }
    if (const FieldBlock *block = list->fieldBlock; block != nullptr) {
        const Field &record = block->fields[slot];
        if (field != nullptr) *field = record.handle;
        if (type != nullptr) *type = record.type;
        if (flags != nullptr) *flags = record.flags & RDFIELD_CALLER_MASK;
    }
    if (position != nullptr) *position = slot + 1;
    if (name != nullptr) *name = &list->nameBlock->names[list->cursorCharset][slot];
    list->cursor = static_cast<int32_t>(slot + 1);
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDFieldlistGetField(uint32_t handle, uint32_t position,
                                                  uint32_t charset, uint32_t *field,
                                                  RDStream **name) {
    if (field != nullptr) *field = 0;
    if (name != nullptr) *name = nullptr;
    Fieldlist *list = nullptr;
    if (uint32_t status = FieldlistOf(handle, &list); status != RDSTATUS_OK) return status;
    if (position == 0) return RDSTATUS_INDEXZERO;
    if (position > list->count - list->hiddenCount) return RDSTATUS_BEYONDEND;
    uint32_t index = 0;
    if (uint32_t status = NameArrayFindOrAdd(*list, charset, &index); status != RDSTATUS_OK)
        return status;
    const uint32_t slot = VisibleSlot(*list, position);
    if (field != nullptr) *field = SlotHandle(*list, slot);
    if (name != nullptr) *name = &list->nameBlock->names[index][slot];
    return RDSTATUS_OK;
}

// A name array added for the copy is given back when the copy fails.
extern "C" RD_EXPORT uint32_t RDFieldlistGetName(uint32_t handle, uint32_t position,
                                                 uint32_t charset, RDStream *stream) {
    Fieldlist *list = nullptr;
    if (uint32_t status = FieldlistOf(handle, &list); status != RDSTATUS_OK) return status;
    if (stream == nullptr) return RDSTATUS_NOSTREAM;
    const NameArrayMark mark = NameArrayMarkOf(*list->nameBlock);
    RDStream *name = nullptr;
    uint32_t status = RDFieldlistGetField(handle, position, charset, nullptr, &name);
    if (status == RDSTATUS_OK) status = RDStreamDataCopy(stream, name);
    if (status != RDSTATUS_OK) {
        NameArrayUndo(*list, mark);
        RDStreamDataFree(stream);
    }
    return status;
}
