// SPDX-License-Identifier: Apache-2.0
// Text lists to text and back. A text list is a 16-bit count, one 16-bit
// length per text, then the texts without terminators (little-endian).
#include "rdx_status.h"
#include "translate/list_bytes.h"
#include "translate/translation.h"
#include "values/stream_internal.h"

#include <cstring>
#include <vector>

namespace rdx {
namespace {

constexpr uint32_t kLargestItem = 0xFFFF;

// Blanks are tested among the 7-bit characters only.
bool IsBlank(uint8_t c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsSeparator(uint8_t c) {
    return c == ',' || c == ';' || c == '\n';
}

struct Piece {
    uint32_t offset, length;
};

// The pieces of a text that hold something other than blanks, trimmed.
std::vector<Piece> Pieces(const uint8_t *data, uint32_t length) {
    std::vector<Piece> pieces;
    uint32_t start = 0;
    for (uint32_t at = 0; at <= length; ++at) {
        if (at < length && !IsSeparator(data[at])) continue;
        uint32_t first = start, end = at;
        while (first < end && IsBlank(data[first]))
            ++first;
        while (end > first && IsBlank(data[end - 1]))
            --end;
        if (end > first) pieces.push_back(Piece{first, end - first});
        start = at + 1;
    }
    return pieces;
}

} // namespace

uint32_t TextListToText(const RDStream &list, RDStream *text) {
    text->charset = RDCHARSET_INTERCHANGE;
    const uint8_t *data = list.data;
    const uint64_t size = list.length;
    const uint32_t count = size < 2 ? 0 : Read16(data);
    // Every length and every text must lie inside the data.
    const uint64_t header = 2 + 2 * uint64_t{count};
    if (count != 0 && header > size) return RDSTATUS_NOFIT;
    uint64_t texts = 0;
    for (uint32_t i = 0; i < count; ++i)
        texts += Read16(data + 2 + 2 * i);
    if (count != 0 && header + texts > size) return RDSTATUS_NOFIT;
    auto length = static_cast<uint32_t>(count == 0 ? 0 : texts + 2 * (count - 1));
    uint32_t status = StreamDataSize(*text, &length);
    if (status != RDSTATUS_OK) return status;
    uint8_t *out = text->data;
    const uint8_t *item = data + header;
    for (uint32_t i = 0; i < count; ++i) {
        if (i != 0) {
            std::memcpy(out, ", ", 2);
            out += 2;
        }
        const uint32_t itemLength = Read16(data + 2 + 2 * i);
        if (itemLength != 0) std::memcpy(out, item, itemLength);
        out += itemLength;
        item += itemLength;
    }
    return RDSTATUS_OK;
}

uint32_t TextToTextList(const RDStream &text, RDStream *list) {
    const uint8_t *data = text.data != nullptr ? text.data : EmptyStreamData();
    std::vector<Piece> pieces;
    try {
        pieces = Pieces(data, text.length);
    } catch (const std::bad_alloc &) {
        return RDSTATUS_NOMEMORY;
    }
    if (pieces.size() > kLargestItem) return RDSTATUS_NOFIT;
    uint64_t needed = 2 + 2 * uint64_t{pieces.size()};
    for (const Piece &piece : pieces) {
        if (piece.length > kLargestItem) return RDSTATUS_NOFIT;
        needed += piece.length;
    }
    if (needed > kLargestLength) return RDSTATUS_NOMEMORY;
    auto length = static_cast<uint32_t>(needed);
    uint32_t status = StreamDataSize(*list, &length);
    if (status != RDSTATUS_OK) return status;
    if (length != needed) return RDSTATUS_NOFIT; // a cut list would be malformed
    uint8_t *out = list->data;
    Write16(out, static_cast<uint32_t>(pieces.size()));
    uint8_t *texts = out + 2 + 2 * pieces.size();
    for (size_t i = 0; i < pieces.size(); ++i) {
        Write16(out + 2 + 2 * i, pieces[i].length);
        std::memcpy(texts, data + pieces[i].offset, pieces[i].length);
        texts += pieces[i].length;
    }
    return RDSTATUS_OK;
}

} // namespace rdx
