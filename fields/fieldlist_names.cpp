// SPDX-License-Identifier: Apache-2.0
// The name arrays of a list: one per character set, each slot's name
// translated into it; arrays are added on demand, complete or not at all.
#include "fields/fieldlist_internal.h"
#include "rdplat_mem.h"

#include <cstring>

namespace rdx {

namespace {

// name converted into code, in a record of the list names' format.
uint32_t NameMake(const RDStream &name, uint32_t code, RDStream *made) {
    uint32_t status = RDStreamCreate(made, 0, RDSTREAM_NOCASE, code);
    if (status == RDSTATUS_OK)
        status = RDStreamDataConvert(made, &name, RDCONVERT_KEEPFORMAT, code, nullptr, nullptr);
    if (status != RDSTATUS_OK) RDStreamDataFree(made);
    return status;
}

void NameArrayFree(RDStream *array, uint32_t count) {
    if (array == nullptr) return;
    for (uint32_t j = 0; j < count; ++j)
        RDStreamDataFree(&array[j]);
    RDMemFree(array);
}

RDStream *NameArrayAllocate(uint32_t capacity) {
    return static_cast<RDStream *>(
        RDMemCalloc(static_cast<int32_t>(uint64_t{capacity} * sizeof(RDStream))));
}

// The names of array 0 translated into code, in a new array: 0, 258 or
// the translation's status.
uint32_t NameArrayTranslate(const NameBlock &block, uint32_t count, uint32_t code,
                            RDStream **array) {
    *array = NameArrayAllocate(block.capacity);
    if (*array == nullptr) return RDSTATUS_NOMEMORY;
    for (uint32_t j = 0; j < count; ++j) {
        if (uint32_t status = NameMake(block.names[0][j], code, &(*array)[j]);
            status != RDSTATUS_OK) {
            NameArrayFree(*array, j);
            *array = nullptr;
            return status;
        }
    }
    return RDSTATUS_OK;
}

// Code and name tables one entry longer, the new array last: 0 or 258.
uint32_t NameArrayAppend(NameBlock &block, uint32_t code, RDStream *array) {
    const uint32_t n = block.charsetCount;
    auto *charsets = static_cast<uint32_t *>(RDMemAlloc((n + 1) * sizeof(uint32_t)));
    auto *names = static_cast<RDStream **>(RDMemAlloc((n + 1) * sizeof(RDStream *)));
    if (charsets == nullptr || names == nullptr) {
        RDMemFree(charsets);
        RDMemFree(names);
        return RDSTATUS_NOMEMORY;
    }
    std::memcpy(charsets, block.charsets, n * sizeof(uint32_t));
    std::memcpy(names, block.names, n * sizeof(RDStream *));
    charsets[n] = code;
    names[n] = array;
    RDMemFree(block.charsets);
    RDMemFree(block.names);
    block.charsets = charsets;
    block.names = names;
    block.charsetCount = n + 1;
    return RDSTATUS_OK;
}

} // namespace

uint32_t NameArrayFind(const NameBlock &block, uint32_t code) {
    for (uint32_t c = 0; c < block.charsetCount; ++c) {
        if (block.charsets[c] == code) return c;
    }
    return kNoNameArray;
}

void NameArrayUndo(Fieldlist &list, NameArrayMark mark) {
    NameBlock &block = *list.nameBlock;
    for (uint32_t c = mark.charsetCount; c < block.charsetCount; ++c)
        NameArrayFree(block.names[c], block.count);
    block.charsetCount = mark.charsetCount;
    block.charsets[0] = mark.firstCode;
}

uint32_t NameArrayFindOrAdd(Fieldlist &list, uint32_t code, uint32_t *index) {
    *index = kNoNameArray;
    if (code == 0) return RDSTATUS_BADCHARSET;
    NameBlock &block = *list.nameBlock;
    if (uint32_t found = NameArrayFind(block, code); found != kNoNameArray) {
        *index = found;
        return RDSTATUS_OK;
    }
    if (block.charsetCount == 1 && block.charsets[0] == 0) { // no name given yet
        block.charsets[0] = code;
        *index = 0;
        return RDSTATUS_OK;
    }
    RDStream *array = nullptr;
    // Every name the block holds: a merged list may show fewer of them.
    if (uint32_t status = NameArrayTranslate(block, block.count, code, &array);
        status != RDSTATUS_OK)
        return status;
    if (uint32_t status = NameArrayAppend(block, code, array); status != RDSTATUS_OK) {
        NameArrayFree(array, block.count);
        return status;
    }
    *index = block.charsetCount - 1;
    return RDSTATUS_OK;
}

uint32_t NamesMake(const NameBlock &block, const RDStream &name, RDStream *names) {
    for (uint32_t c = 0; c < block.charsetCount; ++c) {
        if (uint32_t status = NameMake(name, block.charsets[c], &names[c]); status != RDSTATUS_OK) {
            NamesFree(names, c);
            return status;
        }
    }
    return RDSTATUS_OK;
}

void NamesFree(RDStream *names, uint32_t count) {
    for (uint32_t c = 0; c < count; ++c)
        RDStreamDataFree(&names[c]);
}

void NameBlockDrop(NameBlock *block) {
    if (block == nullptr || --block->refCount > 0) return;
    for (uint32_t c = 0; c < block->charsetCount && block->names != nullptr; ++c)
        NameArrayFree(block->names[c], block->count);
    RDMemFree(block->names);
    RDMemFree(block->charsets);
    RDMemFree(block);
}

uint32_t NameBlockCopy(const NameBlock &source, uint32_t count, uint32_t capacity,
                       NameBlock **copy) {
    const uint32_t n = source.charsetCount;
    auto *block = static_cast<NameBlock *>(RDMemCalloc(sizeof(NameBlock)));
    *copy = nullptr;
    if (block == nullptr) return RDSTATUS_NOMEMORY;
    block->refCount = 1;
    block->capacity = capacity;
    block->count = count; // every array is freed over count slots: unset ones are zero
    block->charsets = static_cast<uint32_t *>(RDMemAlloc(n * sizeof(uint32_t)));
    block->names = static_cast<RDStream **>(RDMemCalloc(n * sizeof(RDStream *)));
    uint32_t status =
        block->charsets != nullptr && block->names != nullptr ? RDSTATUS_OK : RDSTATUS_NOMEMORY;
    if (status == RDSTATUS_OK) {
        std::memcpy(block->charsets, source.charsets, n * sizeof(uint32_t));
        block->charsetCount = n;
    }
    for (uint32_t c = 0; c < block->charsetCount && status == RDSTATUS_OK; ++c) {
        block->names[c] = NameArrayAllocate(capacity);
        if (block->names[c] == nullptr) status = RDSTATUS_NOMEMORY;
        for (uint32_t j = 0; j < count && status == RDSTATUS_OK; ++j)
            status = RDStreamDataCopy(&block->names[c][j], &source.names[c][j]);
    }
    if (status != RDSTATUS_OK) {
        NameBlockDrop(block);
        return status;
    }
    *copy = block;
    return RDSTATUS_OK;
}

} // namespace rdx
