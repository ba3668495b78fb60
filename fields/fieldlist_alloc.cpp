// SPDX-License-Identifier: Apache-2.0
// Field-list records: making, registering and freeing them, the shared
// field block, and the counting operations.
#include "fields/fieldlist_internal.h"
#include "rdplat_mem.h"

namespace rdx {

namespace {

uint32_t MakeNameBlock(uint32_t capacity, NameBlock **made) {
    auto *block = static_cast<NameBlock *>(RDMemCalloc(sizeof(NameBlock)));
    *made = block;
    if (block == nullptr) return RDSTATUS_NOMEMORY;
    block->refCount = 1;
    block->capacity = capacity;
    block->charsets = static_cast<uint32_t *>(RDMemCalloc(sizeof(uint32_t)));
    block->names = static_cast<RDStream **>(RDMemCalloc(sizeof(RDStream *)));
    if (block->charsets == nullptr || block->names == nullptr) return RDSTATUS_NOMEMORY;
    block->charsetCount = 1;
    block->names[0] = static_cast<RDStream *>(
        RDMemCalloc(static_cast<int32_t>(uint64_t{capacity} * sizeof(RDStream))));
    return block->names[0] != nullptr ? RDSTATUS_OK : RDSTATUS_NOMEMORY;
}

uint32_t MakeFieldBlock(Fieldlist &list, uint32_t recordCount, uint32_t defaultFlags) {
    auto *block = static_cast<FieldBlock *>(RDMemCalloc(sizeof(FieldBlock)));
    list.fieldBlock = block;
    if (block == nullptr) return RDSTATUS_NOMEMORY;
    block->recordCount = recordCount;
    block->defaultFlags = defaultFlags & RDFIELD_CALLER_MASK;
    block->refCount = 1;
    block->sharers = &list;
    block->fields = static_cast<Field *>(
        RDMemCalloc(static_cast<int32_t>(uint64_t{list.capacity} * sizeof(Field))));
    return block->fields != nullptr ? RDSTATUS_OK : RDSTATUS_NOMEMORY;
}

void UnlinkSharer(FieldBlock &block, const Fieldlist &list) {
    for (Fieldlist **link = &block.sharers; *link != nullptr; link = &(*link)->nextSharer) {
        if (*link == &list) {
            *link = list.nextSharer;
            return;
        }
    }
}

} // namespace

uint32_t FieldlistMake(uint32_t recordCount, uint32_t defaultFlags, uint32_t capacity,
                       Fieldlist **made) {
    *made = nullptr;
    auto *list = static_cast<Fieldlist *>(RDMemCalloc(sizeof(Fieldlist)));
    if (list == nullptr) return RDSTATUS_NOMEMORY;
    list->capacity = capacity;
    list->cursor = -1;
    list->modified = 1;
    uint32_t status = MakeNameBlock(capacity, &list->nameBlock);
    if (status == RDSTATUS_OK && recordCount != 0)
        status = MakeFieldBlock(*list, recordCount, defaultFlags);
    if (status != RDSTATUS_OK) {
        FieldlistDestroy(list);
        return status;
    }
    *made = list;
    return RDSTATUS_OK;
}

Fieldlist *FieldlistRecordLike(const Fieldlist &shape) {
    auto *list = static_cast<Fieldlist *>(RDMemAllocInline(sizeof(Fieldlist)));
    if (list == nullptr) return nullptr;
    *list = shape;
    list->handle = 0;
    list->sequence = 0;
    list->modified = 1;
    list->cursor = -1;
    list->cursorCharset = 0;
    list->fieldBlock = nullptr;
    list->nameBlock = nullptr;
    list->listFlags = 0;
    list->nextSharer = nullptr;
    list->dataBlock = nullptr;
    return list;
}

void FieldBlockShare(FieldBlock &block, Fieldlist &list) {
    ++block.refCount;
    list.nextSharer = nullptr;
    Fieldlist **link = &block.sharers;
    while (*link != nullptr)
        link = &(*link)->nextSharer;
    *link = &list;
}

void FieldBlockDrop(Fieldlist &list, FieldBlock *block) {
    if (block == nullptr) return;
    const bool owner = block->sharers == &list;
    UnlinkSharer(*block, list);
    if (--block->refCount > 0) {
        // The records stay with the lists that share them; when their owner
        // goes, the first of those owns them from now on.
        if (owner) {
            for (uint32_t j = 0; j < block->count; ++j)
                block->fields[j].owner = block->sharers;
        }
        return;
    }
    if (block->fields != nullptr) {
        for (uint32_t j = 0; j < block->count; ++j)
            FieldRelease(block->fields[j]);
    }
    RDMemFree(block->fields);
    RDMemFree(block);
}

// An ordinary list drops its names and its share of the fields; a merged
// list drops its references and frees its own array, whose records belong
// to the data list.
void FieldlistDestroy(Fieldlist *list) {
    if (list == nullptr) return;
    if (list->handle != 0) HandleTableRelease(Fields().fieldlistTable, list->handle);
    NameBlockDrop(list->nameBlock);
    if ((list->listFlags & kListOwnArray) != 0) {
        if (list->fieldBlock != nullptr) RDMemFree(list->fieldBlock->fields);
        RDMemFree(list->fieldBlock);
    } else {
        FieldBlockDrop(*list, list->fieldBlock);
    }
    FieldBlockDrop(*list, list->dataBlock);
    RDMemFreeInline(list);
}

uint32_t VisibleSlot(const Fieldlist &list, uint32_t position) {
    if (list.hiddenCount == 0) return position - 1 < list.count ? position - 1 : list.count;
    for (uint32_t slot = 0; slot < list.count; ++slot) {
        if (!SlotHidden(list, slot) && --position == 0) return slot;
    }
    return list.count;
}

} // namespace rdx

using namespace rdx;

namespace {

// The list of a handle when set up and known, else null.
Fieldlist *KnownList(uint32_t handle) {
    return FieldsReady() ? FindFieldlist(handle) : nullptr;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDFieldlistAlloc(uint32_t *handle, uint32_t recordCount,
                                               uint32_t defaultFlags) {
    if (uint32_t status = NewHandleCheck(handle); status != RDSTATUS_OK) return status;
    if (uint32_t status = FieldlistHandlesReserve(1); status != RDSTATUS_OK) return status;
    Fieldlist *list = nullptr;
    if (uint32_t status = FieldlistMake(recordCount, defaultFlags, kInitialCapacity, &list);
        status != RDSTATUS_OK)
        return status;
    FieldlistRegister(*list);
    *handle = list->handle;
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDFieldlistFree(uint32_t handle) {
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    Fieldlist *list = FindFieldlist(handle);
    if (list == nullptr) return RDSTATUS_NOLIST;
    FieldlistDestroy(list);
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDFieldlistGetSequence(uint32_t handle) {
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    Fieldlist *list = FindFieldlist(handle);
    if (list == nullptr) return 0;
    if (list->modified != 0) {
        list->sequence = Fields().nextSequence++;
        list->modified = 0;
    }
    return list->sequence;
}

extern "C" RD_EXPORT uint32_t RDFieldlistGetRecordCount(uint32_t handle) {
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    const Fieldlist *list = FindFieldlist(handle);
    return list != nullptr && list->fieldBlock != nullptr ? list->fieldBlock->recordCount : 0;
}

extern "C" RD_EXPORT uint32_t RDFieldlistGetCount(uint32_t handle) {
    const Fieldlist *list = KnownList(handle);
    return list != nullptr ? list->count - list->hiddenCount : 0;
}
