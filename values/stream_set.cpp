// SPDX-License-Identifier: Apache-2.0
// Filling a stream: from caller's bytes, or storage for the caller to fill.
#include "rdplat_mem.h"
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/stream_internal.h"

#include <cstring>

using namespace rdx;

namespace {

// True when bytes lie inside the stream's own storage, which sizing may
// move or free before they are copied.
bool InsideOwnStorage(const RDStream &stream, const void *bytes) {
    const auto *at = static_cast<const uint8_t *>(bytes);
    return HasPrivateStorage(stream) && at >= stream.data && at <= stream.data + stream.length;
}

uint32_t SetBytes(RDStream &stream, uint32_t charset, const void *bytes, uint32_t count) {
    uint32_t length = count;
    const uint32_t status = StreamDataSize(stream, &length);
    if (status != RDSTATUS_OK) return status;
    if (length != 0) std::memcpy(stream.data, bytes, length);
    stream.charset = charset;
    return RDSTATUS_OK;
}

// Bytes of the stream's own storage are copied aside before sizing. Kept
// out of line, away from the frequent case.
[[gnu::noinline]] uint32_t SetOwnBytes(RDStream &stream, uint32_t charset, const void *bytes,
                                       uint32_t count) {
    void *copy = RDMemAlloc(static_cast<int32_t>(count));
    if (copy == nullptr) return RDSTATUS_NOMEMORY;
    std::memcpy(copy, bytes, count);
    const uint32_t status = SetBytes(stream, charset, copy, count);
    RDMemFree(copy);
    return status;
}

// Copies count bytes (at least 1) and writes the terminator after them.
// Short texts, the common ones, are copied by two overlapping moves
// instead of a call.
[[gnu::always_inline]] inline void CopyWithTerminator(uint8_t *to, const uint8_t *from,
                                                      uint32_t count) {
    std::memset(to + count, 0, kTerminator);
    if (count >= 16 && count <= 32) {
        std::memcpy(to, from, 16);
        std::memcpy(to + count - 16, from + count - 16, 16);
    } else if (count >= 8 && count < 16) {
        std::memcpy(to, from, 8);
        std::memcpy(to + count - 8, from + count - 8, 8);
    } else {
        std::memcpy(to, from, count);
    }
}

// The frequent case, told by one test: a ready system and a stream without
// maximum length or markers that holds the empty data (so no storage of
// its own that the bytes could lie in), given bytes for a text set.
// Returns false, with nothing done, for every other case.
[[gnu::always_inline]] inline bool SetFast(RDStream *stream, uint32_t charset, const void *bytes,
                                           uint32_t count, uint32_t *status) {
    if (!TranslationReady() || stream == nullptr) return false;
    const bool plain = ((stream->maxLength | (stream->flags & RDSTREAM_MARKER_MASK)) == 0) &
                       (charset != 0) & (bytes != nullptr) & (count - 1 < kLargestLength);
    if (!plain || stream->data != EmptyStreamData()) return false;
    const uint32_t capacity = count > kSmallCapacity ? count : kSmallCapacity;
    void *block = RDMemAllocInline(static_cast<int32_t>(capacity + kBlockExtra));
    if (block == nullptr) {
        *status = LoseStorage(*stream);
        return true;
    }
    uint8_t *const data = DataOfBlock(block, capacity);
    CopyWithTerminator(data, static_cast<const uint8_t *>(bytes), count);
    stream->data = data;
    stream->length = count;
    stream->charset = charset;
    *status = RDSTATUS_OK;
    return true;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDStreamDataSet(RDStream *stream, uint32_t charset, const void *bytes,
                                              uint32_t count) {
    if (uint32_t status; SetFast(stream, charset, bytes, count, &status)) return status;
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (stream == nullptr) return RDSTATUS_NOSTREAM;
    if (charset == 0) return RDSTATUS_BADCHARSET;
    if (count != 0 && bytes == nullptr) return RDSTATUS_NULLARG1;
    if (count != 0 && InsideOwnStorage(*stream, bytes))
        return SetOwnBytes(*stream, charset, bytes, count);
    return SetBytes(*stream, charset, bytes, count);
}

extern "C" RD_EXPORT uint32_t RDStreamDataAlloc(RDStream *stream, uint32_t charset, uint32_t count,
                                                uint8_t **data, uint32_t *length) {
    if (data != nullptr) *data = nullptr;
    if (length != nullptr) *length = 0;
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (stream == nullptr) return RDSTATUS_NOSTREAM;
    if (charset == 0) return RDSTATUS_BADCHARSET;
    uint32_t granted = count;
    uint32_t status = StreamDataSize(*stream, &granted);
    if (status != RDSTATUS_OK) return status;
    stream->charset = charset;
    if (data != nullptr) *data = stream->data;
    if (length != nullptr) *length = granted;
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDStreamDataRealloc(RDStream *stream, uint32_t count,
                                                  uint8_t **data) {
    if (data != nullptr) *data = nullptr;
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (stream == nullptr) return RDSTATUS_NOSTREAM;
    uint32_t status = StreamDataResize(*stream, count);
    if (data != nullptr) *data = stream->data;
    return status;
}
