// SPDX-License-Identifier: Apache-2.0
// Sizing and resizing the storage of a stream.
#include "rdplat_mem.h"
#include "rdx_status.h"
#include "values/stream_internal.h"

#include <algorithm>
#include <cstring>

namespace rdx {
namespace {

void *BlockOf(uint8_t *data) {
    return data - kBlockHeader;
}

// Capacity of pre-sized storage, or 0 when the stream is not pre-sized.
uint32_t PresizedCapacity(const RDStream &stream) {
    if ((stream.flags & RDSTREAM_FIXED) != 0 && stream.maxLength != 0) return stream.maxLength;
    if (stream.maxLength != 0 && stream.maxLength <= kSmallCapacity) return kSmallCapacity;
    return 0;
}

// Sets the length and the terminator.
uint32_t SetLength(RDStream &stream, uint32_t length) {
    stream.length = length;
    WriteTerminator(stream);
    return RDSTATUS_OK;
}

} // namespace

// A failed allocation leaves the stream without storage.
uint32_t LoseStorage(RDStream &stream) {
    if (HasPrivateStorage(stream)) FreeStorage(stream.data);
    stream.length = 0;
    stream.data = nullptr;
    stream.flags &= ~(RDSTREAM_BORROWED | RDSTREAM_PRESIZED);
    return RDSTATUS_NOMEMORY;
}

uint32_t StreamDataSizeAny(RDStream &stream, uint32_t *length) {
    uint32_t n = *length;
    if (stream.maxLength != 0 && n > stream.maxLength) {
        if ((stream.flags & RDSTREAM_TRUNCATE) == 0) return RDSTATUS_NOFIT;
        n = *length = stream.maxLength;
    }
    if (n > kLargestLength) return LoseStorage(stream);
    if (stream.data == nullptr || (stream.flags & RDSTREAM_BORROWED) != 0) {
        // Borrowed bytes are not ours to free; the markers are derived anew.
        stream.flags &= ~(RDSTREAM_BORROWED | RDSTREAM_PRESIZED);
        stream.length = 0;
        stream.data = EmptyStreamData();
        if (uint32_t capacity = PresizedCapacity(stream); capacity != 0) {
            if (capacity > kLargestLength) return LoseStorage(stream);
            void *block = RDMemAlloc(static_cast<int32_t>(capacity + kBlockExtra));
            if (block == nullptr) return LoseStorage(stream);
            stream.data = DataOfBlock(block, capacity);
            stream.flags |= RDSTREAM_PRESIZED;
            return SetLength(stream, n);
        }
    }
    if (stream.length == n) return RDSTATUS_OK;
    if ((stream.flags & RDSTREAM_PRESIZED) != 0) return SetLength(stream, n);
    // A block of its own keeps a value that fits in it; the shared empty
    // data never holds one.
    const bool shared = stream.data == EmptyStreamData();
    if (shared || !KeepsBlock(CapacityOf(stream.data), n)) {
        const uint32_t capacity = std::max(n, kSmallCapacity);
        const uint32_t size = capacity + kBlockExtra;
        void *block = shared ? RDMemAlloc(static_cast<int32_t>(size))
                             : RDMemRealloc(BlockOf(stream.data), 0, size);
        if (block == nullptr) return LoseStorage(stream);
        stream.data = DataOfBlock(block, capacity);
    }
    return SetLength(stream, n);
}

uint32_t StreamDataResize(RDStream &stream, uint32_t length) {
    if ((stream.flags & RDSTREAM_BORROWED) != 0) return RDSTATUS_NOFIT;
    if (stream.maxLength != 0 && length > stream.maxLength) return RDSTATUS_NOFIT;
    if (stream.length == length) return RDSTATUS_OK;
    if ((stream.flags & RDSTREAM_PRESIZED) != 0) return SetLength(stream, length);
    if (stream.length == 0) return StreamDataSize(stream, &length);
    if (length > kLargestLength) return LoseStorage(stream);
    if (stream.data != EmptyStreamData() && KeepsBlock(CapacityOf(stream.data), length))
        return SetLength(stream, length);
    const uint32_t capacity = std::max(length, kSmallCapacity);
    void *block =
        RDMemRealloc(BlockOf(stream.data), stream.length + kBlockExtra, capacity + kBlockExtra);
    if (block == nullptr) return LoseStorage(stream);
    stream.data = DataOfBlock(block, capacity);
    return SetLength(stream, length);
}

bool SharesStorage(const RDStream &destination, const RDStream &source) {
    if (&destination == &source) return true;
    if (!HasPrivateStorage(destination) || source.data == nullptr) return false;
    return source.data >= destination.data && source.data <= destination.data + destination.length;
}

RDStream AsideRecord(const RDStream &destination) {
    return RDStream{destination.maxLength, 0, destination.flags & RDSTREAM_CALLER_MASK,
                    destination.charset, nullptr};
}

void AdoptStorage(RDStream &destination, RDStream &aside) {
    FreeStorage(DetachStorage(destination));
    destination.data = aside.data;
    destination.length = aside.length;
    destination.flags =
        (destination.flags & RDSTREAM_CALLER_MASK) | (aside.flags & RDSTREAM_MARKER_MASK);
}

} // namespace rdx
