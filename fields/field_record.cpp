// SPDX-License-Identifier: Apache-2.0
// Initialising, releasing and cloning field records.
#include "fields/field_internal.h"
#include "rdplat_mem.h"
#include "values/stream_internal.h"

#include <cstring>

namespace rdx {

namespace {

// The largest block RDMemAlloc can give.
constexpr uint64_t kLargestBlock = 0x7FFFFFFF;

// Value and indicator blocks for a record's type and count, the values
// zeroed. Sizes are computed in 64 bits so that no count wraps into a
// block too small for it. 0 or 258; nothing is kept on failure.
uint32_t AllocateStorage(Field &field) {
    const uint64_t valueBytes = uint64_t{field.typeSize} * field.valueCount;
    const uint64_t nullBytes = uint64_t{sizeof(uint32_t)} * field.valueCount;
    if (valueBytes > kLargestBlock || nullBytes > kLargestBlock) return RDSTATUS_NOMEMORY;
    field.values = static_cast<uint8_t *>(RDMemCalloc(static_cast<int32_t>(valueBytes)));
    field.nulls = static_cast<uint32_t *>(RDMemAlloc(static_cast<int32_t>(nullBytes)));
    if (field.values == nullptr || field.nulls == nullptr) {
        RDMemFree(field.values);
        RDMemFree(field.nulls);
        field.values = nullptr;
        field.nulls = nullptr;
        return RDSTATUS_NOMEMORY;
    }
    return RDSTATUS_OK;
}

// RDStreamDataCopy into a record without storage, made here with the
// stream layer's own pieces: copies run per value of every record of a
// batch.
uint32_t CopyStream(RDStream &to, const RDStream &from) {
    to = RDStream{from.maxLength, 0, from.flags & RDSTREAM_CALLER_MASK, from.charset, nullptr};
    uint32_t length = from.length;
    const uint32_t status = StreamDataSize(to, &length);
    if (status == RDSTATUS_OK && length != 0) std::memcpy(to.data, from.data, length);
    return status;
}

// Copies the stream values of source into the fresh zeroed values of
// destination, each with its format; 0 or 258, stopping at the first
// failure.
uint32_t CloneStreams(Field &destination, const Field &source) {
    for (uint32_t i = 1; i <= source.valueCount; ++i) {
        const RDStream &from = *StreamAt(source, i);
        if (from.data == nullptr) continue; // a cleared record stays cleared
        if (uint32_t status = CopyStream(*StreamAt(destination, i), from); status != RDSTATUS_OK)
            return status;
    }
    return RDSTATUS_OK;
}

} // namespace

uint32_t FieldInitialise(Field &field, uint32_t type, uint32_t count) {
    field = Field{};
    if (!ValidType(type)) return RDSTATUS_BADTYPE;
    field.type = type;
    field.valueCount = count;
    field.typeSize = kTypeSizes[type];
    if (uint32_t status = AllocateStorage(field); status != RDSTATUS_OK) {
        field = Field{};
        return status;
    }
    for (uint32_t i = 0; i < count; ++i)
        field.nulls[i] = 1;
    return RDSTATUS_OK;
}

void FieldFreeValues(Field &field) {
    if (IsStreamType(field.type) && field.values != nullptr) {
        for (uint32_t i = field.valueCount; i >= 1; --i)
            FreeStorage(DetachStorage(*StreamAt(field, i)));
    }
    RDMemFree(field.nulls);
    RDMemFree(field.values);
    field.nulls = nullptr;
    field.values = nullptr;
}

void FieldRelease(Field &field) {
    if (field.handle != 0) HandleTableRelease(Fields().fieldTable, field.handle);
    field.handle = 0;
    FieldFreeValues(field);
}

uint32_t FieldClone(Field &destination, const Field &source) {
    destination = source;
    destination.handle = 0;
    destination.owner = nullptr;
    destination.values = nullptr;
    destination.nulls = nullptr;
    if (uint32_t status = AllocateStorage(destination); status != RDSTATUS_OK) return status;
    const uint64_t valueBytes = uint64_t{source.typeSize} * source.valueCount;
    uint32_t status = RDSTATUS_OK;
    if (IsStreamType(source.type))
        status = CloneStreams(destination, source);
    else if (valueBytes != 0)
        std::memcpy(destination.values, source.values, valueBytes);
    if (status != RDSTATUS_OK) {
        FieldFreeValues(destination);
        return status;
    }
    std::memcpy(destination.nulls, source.nulls, sizeof(uint32_t) * source.valueCount);
    return RDSTATUS_OK;
}

} // namespace rdx
