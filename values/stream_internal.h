// SPDX-License-Identifier: Apache-2.0
// Storage of stream data, shared by the stream operations and the
// translation layer.
//
// Private storage is one RDMemAlloc block: 4 bytes holding the capacity,
// the capacity, then 4 bytes for the terminator; data points 4 bytes into
// the block. Every block is made through DataOfBlock, which writes the
// capacity, so that a stream can take a shorter value in place.
#pragma once

#include "activity/system_context.h"
#include "rdplat_mem.h"
#include "rdx_status.h"
#include "rdx_stream.h"

#include <cstdint>
#include <cstring>

namespace rdx {

constexpr uint32_t kBlockHeader = 4;
constexpr uint32_t kTerminator = 4;
constexpr uint32_t kBlockExtra = kBlockHeader + kTerminator;
constexpr uint32_t kSmallCapacity = 10;
// The largest length a block can hold (RDMemAlloc takes a signed size).
constexpr uint32_t kLargestLength = 0x7FFFFFFF - kBlockExtra;

// The shared data of every empty stream.
inline uint8_t *EmptyStreamData() {
    return Context()->translation.emptyData;
}

inline bool HasPrivateStorage(const RDStream &stream) {
    return stream.data != nullptr && (stream.flags & RDSTREAM_BORROWED) == 0 &&
           stream.data != EmptyStreamData();
}

// The data of a block made for capacity bytes of data; the capacity is
// kept in the block's header.
inline uint8_t *DataOfBlock(void *block, uint32_t capacity) {
    std::memcpy(block, &capacity, sizeof capacity);
    return static_cast<uint8_t *>(block) + kBlockHeader;
}

// The bytes of data a private block holds room for.
inline uint32_t CapacityOf(const uint8_t *data) {
    uint32_t capacity = 0;
    std::memcpy(&capacity, data - kBlockHeader, sizeof capacity);
    return capacity;
}

// A block keeps its room for a shorter value unless the unused room
// exceeds both this and the value's length: storage stays put across
// values of similar sizes without a large block held for a short one.
constexpr uint32_t kKeptSlack = 1024;

inline bool KeepsBlock(uint32_t capacity, uint32_t length) {
    return length <= capacity && capacity - length <= (length > kKeptSlack ? length : kKeptSlack);
}

// Four zero bytes after the last data byte.
inline void WriteTerminator(RDStream &stream) {
    std::memset(stream.data + stream.length, 0, kTerminator);
}

// Frees a block given by its data pointer (null is ignored).
inline void FreeStorage(uint8_t *data) {
    if (data != nullptr) RDMemFreeInline(data - kBlockHeader);
}

// Takes the private storage away from stream without freeing it: data
// null, length 0, internal markers cleared. Returns the data pointer of the
// storage (to hand to FreeStorage), or null when there was none.
inline uint8_t *DetachStorage(RDStream &stream) {
    uint8_t *data = HasPrivateStorage(stream) ? stream.data : nullptr;
    stream.data = nullptr;
    stream.length = 0;
    stream.flags &= ~(RDSTREAM_BORROWED | RDSTREAM_PRESIZED);
    return data;
}

// Frees the stream's private storage after a failed allocation and leaves
// it without storage. Returns 258.
uint32_t LoseStorage(RDStream &stream);

// The general case of StreamDataSize.
uint32_t StreamDataSizeAny(RDStream &stream, uint32_t *length);

// Gives the stream storage for length *length without keeping its contents;
// *length is cut to maxLength with RDSTREAM_TRUNCATE. 0, 258 or 12801.
// Inline for the frequent case of a stream without maximum length or
// markers that holds no storage, the empty data or exactly *length bytes.
inline uint32_t StreamDataSize(RDStream &stream, uint32_t *length) {
    const uint32_t n = *length;
    if (stream.maxLength != 0 || n > kLargestLength ||
        (stream.flags & (RDSTREAM_BORROWED | RDSTREAM_PRESIZED)) != 0)
        return StreamDataSizeAny(stream, length);
    uint8_t *const empty = EmptyStreamData();
    if (stream.data == nullptr) {
        stream.data = empty;
        stream.length = 0;
    }
    if (stream.length == n) return RDSTATUS_OK;
    if (stream.data != empty) return StreamDataSizeAny(stream, length);
    const uint32_t capacity = n > kSmallCapacity ? n : kSmallCapacity;
    void *block = RDMemAllocInline(static_cast<int32_t>(capacity + kBlockExtra));
    if (block == nullptr) return LoseStorage(stream);
    stream.data = DataOfBlock(block, capacity);
    stream.length = n;
    WriteTerminator(stream);
    return RDSTATUS_OK;
}

// Changes the length keeping the contents. 0, 258 or 12801.
uint32_t StreamDataResize(RDStream &stream, uint32_t length);

// True when writing destination may destroy bytes that source still
// refers to: the same record, or source data inside destination's storage.
bool SharesStorage(const RDStream &destination, const RDStream &source);

// A fresh record in destination's format (maximum length, caller flags,
// character set) without storage, for building a result aside.
RDStream AsideRecord(const RDStream &destination);

// Hands the storage of a record built aside over to destination, whose own
// private storage is freed.
void AdoptStorage(RDStream &destination, RDStream &aside);

} // namespace rdx
