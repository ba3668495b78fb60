// SPDX-License-Identifier: Apache-2.0
// The pieces of a layout change: a slot and larger arrays made aside,
// then moved into the list once nothing can fail any more.
#include "fields/fieldlist_internal.h"
#include "rdplat_mem.h"

#include <cstring>

namespace rdx {

namespace {

// Stream values of a truncating field are created truncating.
uint32_t TruncateStreams(Field &field) {
    if (!IsStreamType(field.type) || (field.flags & RDFIELD_TRUNCATE) == 0) return RDSTATUS_OK;
    for (uint32_t i = 1; i <= field.valueCount; ++i) {
        if (uint32_t status = RDStreamCreate(StreamAt(field, i), 0, RDSTREAM_TRUNCATE, 0);
            status != RDSTATUS_OK)
            return status;
    }
    return RDSTATUS_OK;
}

} // namespace

void *ArrayAllocate(uint64_t count, uint64_t size) {
    const uint64_t bytes = count * size;
    if (size != 0 && bytes / size != count) return nullptr;
    return bytes <= 0x7FFFFFFF ? RDMemCalloc(static_cast<int32_t>(bytes)) : nullptr;
}

uint32_t SlotMake(const Fieldlist &list, const RDStream &name, uint32_t type, SlotAside &slot) {
    slot = SlotAside{};
    uint32_t status = RDSTATUS_OK;
    if (const FieldBlock *block = list.fieldBlock; block != nullptr) {
        status = FieldInitialise(slot.field, type, block->recordCount);
        if (status == RDSTATUS_OK) {
            slot.field.flags = block->defaultFlags;
            status = TruncateStreams(slot.field);
        }
    }
    const NameBlock &names = *list.nameBlock;
    if (status == RDSTATUS_OK) {
        slot.names = static_cast<RDStream *>(ArrayAllocate(names.charsetCount, sizeof(RDStream)));
        if (slot.names == nullptr) status = RDSTATUS_NOMEMORY;
    }
    if (status == RDSTATUS_OK) status = NamesMake(names, name, slot.names);
    if (status != RDSTATUS_OK) {
        SlotDiscard(slot);
        return status;
    }
    slot.nameCount = names.charsetCount;
    return RDSTATUS_OK;
}

void SlotDiscard(SlotAside &slot) {
    FieldFreeValues(slot.field);
    if (slot.names != nullptr) NamesFree(slot.names, slot.nameCount);
    RDMemFree(slot.names);
    slot = SlotAside{};
}

void SlotPlace(Fieldlist &list, uint32_t j, SlotAside &slot) {
    if (FieldBlock *block = list.fieldBlock; block != nullptr) {
        Field &field = block->fields[j];
        field = slot.field;
        field.owner = block->sharers;
        FieldRegister(field);
    }
    NameBlock &names = *list.nameBlock;
    for (uint32_t c = 0; c < names.charsetCount; ++c)
        names.names[c][j] = slot.names[c];
    RDMemFree(slot.names);
    slot = SlotAside{};
}

uint32_t GrowthPrepare(const Fieldlist &list, Growth &growth) {
    growth = Growth{};
    if (list.count < list.capacity) return RDSTATUS_OK;
    const uint32_t capacity = NextCapacity(list.capacity);
    const NameBlock &names = *list.nameBlock;
    growth.nameCount = names.charsetCount;
    growth.names = static_cast<RDStream **>(ArrayAllocate(growth.nameCount, sizeof(RDStream *)));
    bool made = growth.names != nullptr;
    for (uint32_t c = 0; made && c < growth.nameCount; ++c) {
        growth.names[c] = static_cast<RDStream *>(ArrayAllocate(capacity, sizeof(RDStream)));
        made = growth.names[c] != nullptr;
    }
    if (made && list.fieldBlock != nullptr) {
        growth.fields = static_cast<Field *>(ArrayAllocate(capacity, sizeof(Field)));
        made = growth.fields != nullptr;
    }
    growth.capacity = capacity;
    if (!made) {
        GrowthDiscard(growth);
        return RDSTATUS_NOMEMORY;
    }
    return RDSTATUS_OK;
}

void GrowthDiscard(Growth &growth) {
    for (uint32_t c = 0; c < growth.nameCount && growth.names != nullptr; ++c)
        RDMemFree(growth.names[c]);
    RDMemFree(growth.names);
    RDMemFree(growth.fields);
    growth = Growth{};
}

void GrowthCommit(Fieldlist &list, Growth &growth) {
    if (growth.capacity == 0) return;
    if (FieldBlock *block = list.fieldBlock; block != nullptr) {
        std::memcpy(growth.fields, block->fields, list.count * sizeof(Field));
        for (uint32_t j = 0; j < list.count; ++j)
            FieldMoved(growth.fields[j]);
        RDMemFree(block->fields);
        block->fields = growth.fields;
    }
    NameBlock &names = *list.nameBlock;
    for (uint32_t c = 0; c < names.charsetCount; ++c) {
        std::memcpy(growth.names[c], names.names[c], list.count * sizeof(RDStream));
        RDMemFree(names.names[c]);
        names.names[c] = growth.names[c];
    }
    RDMemFree(growth.names);
    list.capacity = names.capacity = growth.capacity;
    growth = Growth{};
}

void SlotsShift(Fieldlist &list, uint32_t from, int shift) {
    const uint32_t moved = list.count - from;
    const uint32_t to = shift > 0 ? from + 1 : from - 1;
    const uint32_t vacated = shift > 0 ? from : list.count - 1;
    if (FieldBlock *block = list.fieldBlock; block != nullptr) {
        std::memmove(&block->fields[to], &block->fields[from], moved * sizeof(Field));
        block->fields[vacated] = Field{};
        for (uint32_t j = 0; j < moved; ++j)
            FieldMoved(block->fields[to + j]);
    }
    NameBlock &names = *list.nameBlock;
    for (uint32_t c = 0; c < names.charsetCount; ++c) {
        std::memmove(&names.names[c][to], &names.names[c][from], moved * sizeof(RDStream));
        names.names[c][vacated] = RDStream{};
    }
}

} // namespace rdx
