// SPDX-License-Identifier: Apache-2.0
// The byte images of value lists, checked against the stream that holds
// them. Counts and lengths are 16-bit little-endian words. A text list is
// the count N, N entry lengths and the entries back to back (in the
// interchange set); number and datetime lists are the count of single
// values N, the count of ranges R, N items and R (low, high) item pairs of
// 8 bytes each.
//
// An image is taken as a list only when everything its header announces
// lies inside the stream's length: a header is never trusted further.
#pragma once

#include "rdx_stream.h"
#include "translate/list_bytes.h"

#include <cstdint>

namespace rdx::lists {

constexpr uint32_t kTextHeader = 2;
constexpr uint32_t kValueHeader = 4;
constexpr uint32_t kItemSize = 8;

struct TextListImage {
    const uint8_t *lengths; // N words
    const uint8_t *texts;   // the entries back to back
    uint32_t count;
    uint32_t size; // header, lengths and texts
};

struct ValueListImage {
    const uint8_t *values; // N items
    const uint8_t *ranges; // R item pairs
    uint32_t count, rangeCount;
    uint32_t size;
};

inline bool IsKind(const RDStream *stream, uint32_t kind, uint32_t header) {
    return stream != nullptr && stream->charset == kind && stream->data != nullptr &&
           stream->length >= header;
}

// False when stream is not a whole text list.
inline bool ReadTextList(const RDStream *stream, TextListImage *image) {
    if (!IsKind(stream, RDKIND_TEXTLIST, kTextHeader)) return false;
    const uint32_t count = Read16(stream->data);
    uint64_t size = kTextHeader + 2ull * count;
    if (size > stream->length) return false;
    const uint8_t *lengths = stream->data + kTextHeader;
    for (uint32_t i = 0; i < count; ++i)
        size += Read16(lengths + 2 * i);
    if (size > stream->length) return false;
    *image = {lengths, lengths + 2 * count, count, static_cast<uint32_t>(size)};
    return true;
}

// False when stream is not a whole list of the kind.
inline bool ReadValueList(const RDStream *stream, uint32_t kind, ValueListImage *image) {
    if (!IsKind(stream, kind, kValueHeader)) return false;
    const uint32_t count = Read16(stream->data), rangeCount = Read16(stream->data + 2);
    const uint32_t size = kValueHeader + kItemSize * count + 2 * kItemSize * rangeCount;
    if (size > stream->length) return false;
    const uint8_t *values = stream->data + kValueHeader;
    *image = {values, values + kItemSize * count, count, rangeCount, size};
    return true;
}

} // namespace rdx::lists
