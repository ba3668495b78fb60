// SPDX-License-Identifier: Apache-2.0
// Copies of a list: with fields of its own holding copies of the values,
// or sharing the source's fields. Either is made whole aside and
// registered at the end; a failure leaves nothing behind.
#include "fields/fieldlist_internal.h"
#include "rdplat_mem.h"

using namespace rdx;

namespace {

// A new list record like source's, with its own copy of the names and no
// fields: 0 or 258.
uint32_t CopyRecord(const Fieldlist &source, Fieldlist **made) {
    *made = nullptr;
    Fieldlist *copy = FieldlistRecordLike(source);
    if (copy == nullptr) return RDSTATUS_NOMEMORY;
    if (uint32_t status =
            NameBlockCopy(*source.nameBlock, source.count, source.capacity, &copy->nameBlock);
        status != RDSTATUS_OK) {
        FieldlistDestroy(copy);
        return status;
    }
    *made = copy;
    return RDSTATUS_OK;
}

// Gives copy a field block of its own holding clones of source's records:
// 0 or 258. On failure copy has no field block.
uint32_t CloneFields(const FieldBlock &source, Fieldlist &copy) {
    auto *block = static_cast<FieldBlock *>(RDMemCalloc(sizeof(FieldBlock)));
    if (block == nullptr) return RDSTATUS_NOMEMORY;
    *block = FieldBlock{nullptr, source.recordCount, source.defaultFlags, 1, &copy, 0};
    copy.fieldBlock = block;
    block->fields = static_cast<Field *>(ArrayAllocate(copy.capacity, sizeof(Field)));
    uint32_t cloned = 0;
    uint32_t status = block->fields != nullptr ? RDSTATUS_OK : RDSTATUS_NOMEMORY;
    for (; status == RDSTATUS_OK && cloned < copy.count; ++cloned)
        status = FieldClone(block->fields[cloned], source.fields[cloned]);
    if (status != RDSTATUS_OK) {
        block->count = cloned; // the clones made, released with the block
        FieldBlockDrop(copy, block);
        copy.fieldBlock = nullptr;
        return status;
    }
    block->count = copy.count;
    for (uint32_t j = 0; j < copy.count; ++j) {
        block->fields[j].owner = &copy;
        FieldRegister(block->fields[j]);
    }
    return RDSTATUS_OK;
}

// The checks and reservations common to both copies: 0, 12320, 12302,
// 12307, 12311 or 258.
uint32_t Begin(uint32_t *handle, uint32_t sourceHandle, bool fieldHandles,
               const Fieldlist **source) {
    if (uint32_t status = NewHandleCheck(handle); status != RDSTATUS_OK) return status;
    *source = FindFieldlist(sourceHandle);
    if (*source == nullptr) return RDSTATUS_NOLIST;
    // A merged list's names and fields belong to other lists: a copy could
    // neither own them nor share them safely.
    if (((*source)->listFlags & kListBorrowed) != 0) return RDSTATUS_SHAREDLIST;
    uint32_t status = FieldlistHandlesReserve(1);
    if (status == RDSTATUS_OK && fieldHandles) status = FieldHandlesReserve((*source)->count);
    return status;
}

// A copy of list source at *handle: with clones of its fields when
// ownFields, else sharing them.
uint32_t MakeCopy(uint32_t *handle, uint32_t source, bool ownFields) {
    const Fieldlist *from = nullptr;
    if (uint32_t status = Begin(handle, source, ownFields, &from); status != RDSTATUS_OK)
        return status;
    Fieldlist *copy = nullptr;
    if (uint32_t status = CopyRecord(*from, &copy); status != RDSTATUS_OK) return status;
    if (from->fieldBlock != nullptr) {
        if (!ownFields) {
            copy->fieldBlock = from->fieldBlock;
            FieldBlockShare(*from->fieldBlock, *copy);
        } else if (uint32_t status = CloneFields(*from->fieldBlock, *copy); status != RDSTATUS_OK) {
            FieldlistDestroy(copy);
            return status;
        }
    }
    FieldlistRegister(*copy);
    *handle = copy->handle;
    return RDSTATUS_OK;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDFieldlistCopyRef(uint32_t *handle, uint32_t source) {
    return MakeCopy(handle, source, false);
}

extern "C" RD_EXPORT uint32_t RDFieldlistCopy(uint32_t *handle, uint32_t source) {
    return MakeCopy(handle, source, true);
}
