// SPDX-License-Identifier: Apache-2.0
// Building a stream from another in a given character set or kind.
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/stream_internal.h"
#include "xcore.h"

#include <algorithm>
#include <cstring>

namespace rdx {
namespace {

// Texts up to this many bytes are translated through a buffer on the stack
// instead of storage that the library allocates: four output bytes per
// source byte and a terminator suffice for nearly every pair of sets, and a
// longer output is translated again into allocated storage.
constexpr uint32_t kShortText = 64;
constexpr uint32_t kShortOutput = 4 * kShortText + 16;

// The destination shares the source's bytes, cut to its maximum length.
void Borrow(RDStream &destination, const uint8_t *data, uint32_t length) {
    if (destination.maxLength != 0) length = std::min(length, destination.maxLength);
    destination.data = const_cast<uint8_t *>(data);
    destination.length = length;
    destination.flags = (destination.flags & ~RDSTREAM_PRESIZED) | RDSTREAM_BORROWED;
}

[[gnu::always_inline]] inline uint32_t CopyBytes(RDStream &destination, const uint8_t *data,
                                                 uint32_t length) {
    uint32_t status = StreamDataSize(destination, &length);
    if (status == RDSTATUS_OK && length != 0) std::memcpy(destination.data, data, length);
    return status;
}

// Translation of a short text through a buffer on the stack. False when
// the output is longer than the buffer; *status is then left to the
// translation into allocated storage.
[[gnu::always_inline]] inline bool TranslateShortText(const uint8_t *data, uint32_t length,
                                                      uint32_t sc, uint32_t dc,
                                                      RDStream &destination, uint32_t *status) {
    xcore::Table *from = nullptr, *to = nullptr;
    if ((*status = TextTables(sc, dc, &from, &to)) != RDSTATUS_OK) return true;
    alignas(8) uint8_t output[kShortOutput];
    xcore::TranslateResult result;
    if (uint32_t failure = xcore::Translate(to, from, output, kShortOutput, data, length, &result);
        failure != 0) {
        *status = TableFailure(failure);
        return true;
    }
    if (result.length > kShortOutput) return false;
    *status = CopyBytes(destination, output, result.length - result.terminator);
    if (*status == RDSTATUS_OK) WriteTerminator(destination);
    return true;
}

// A block translated into is replaced by one of the text's size when it is
// more than twice as large and the unused room exceeds this. The text is
// copied rather than the block shrunk in place: the allocator would remap
// a large block at every call.
constexpr uint32_t kLargestSlack = 1024;

// Moves the first length bytes of the destination's block into a block of
// their own size.
uint32_t MoveToExactBlock(RDStream &destination, uint32_t length) {
    RDStream exact = AsideRecord(destination);
    if (uint32_t status = StreamDataSize(exact, &length); status != RDSTATUS_OK) return status;
    std::memcpy(exact.data, destination.data, length);
    AdoptStorage(destination, exact);
    return RDSTATUS_OK;
}

// Translation straight into the destination's block, for a destination
// without a maximum length: storage for the estimated output is allocated
// once and the converter writes into it. An output longer than the estimate
// (rare) is translated again into storage of its size.
uint32_t TranslateIntoBlock(const uint8_t *data, uint32_t length, uint32_t sc, uint32_t dc,
                            RDStream &destination) {
    xcore::Table *from = nullptr, *to = nullptr;
    if (uint32_t status = TextTables(sc, dc, &from, &to); status != RDSTATUS_OK) return status;
    uint64_t room = std::min<uint64_t>(xcore::OutputEstimate(to, from, length), kLargestLength);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (room > kLargestLength) return RDSTATUS_NOMEMORY; // no block holds the output
        auto size = static_cast<uint32_t>(room);
        if (uint32_t status = StreamDataSize(destination, &size); status != RDSTATUS_OK)
            return status;
        uint32_t produced = 0;
        if (uint32_t failure =
                xcore::TranslateInto(to, from, destination.data, size, data, length, &produced);
            failure != 0)
            return TableFailure(failure);
        if (produced <= size) {
            if (size - produced <= std::max(kLargestSlack, produced)) {
                destination.length = produced;
                WriteTerminator(destination);
                return RDSTATUS_OK;
            }
            return MoveToExactBlock(destination, produced);
        }
        room = produced;
    }
    return RDSTATUS_NOTABLE;
}

// Translation into a destination with a maximum length: through a buffer
// on the stack for short texts, else into the library's allocation, then
// sized (cut with RDSTREAM_TRUNCATE) and copied.
[[gnu::noinline]] uint32_t TranslateLimited(const uint8_t *data, uint32_t length, uint32_t sc,
                                            uint32_t dc, RDStream &destination) {
    uint32_t empty = 0;
    uint32_t status = StreamDataSize(destination, &empty);
    if (status != RDSTATUS_OK) return status;
    if (length <= kShortText && TranslateShortText(data, length, sc, dc, destination, &status))
        return status;
    void *output = nullptr;
    uint32_t produced = 0;
    status = TextTranslate(data, length, sc, &output, &produced, dc);
    if (status == RDSTATUS_NOFIT && (destination.flags & RDSTREAM_TRUNCATE) != 0)
        status = RDSTATUS_OK;
    if (status == RDSTATUS_OK) {
        status = CopyBytes(destination, static_cast<const uint8_t *>(output), produced);
        if (status == RDSTATUS_OK) WriteTerminator(destination);
    }
    xcore::FreeOutput(output);
    return status;
}

// Translation of a text between two different text codes.
[[gnu::always_inline]] inline uint32_t TranslateText(const uint8_t *data, uint32_t length,
                                                     uint32_t sc, uint32_t dc,
                                                     RDStream &destination) {
    if (destination.maxLength == 0) return TranslateIntoBlock(data, length, sc, dc, destination);
    return TranslateLimited(data, length, sc, dc, destination);
}

} // namespace

uint32_t StreamTranslate(const RDStream *source, uint32_t dc, RDStream *destination,
                         uint32_t options) {
    RDStream &to = *destination;
    FreeStorage(DetachStorage(to));
    const uint8_t *data = source->data != nullptr ? source->data : EmptyStreamData();
    to.charset = dc;
    uint32_t sc = source->charset;
    EffectiveCharsets(options, &sc, &dc);
    if ((options & RDCONVERT_KEEPFORMAT) == 0) {
        to.maxLength = source->maxLength;
        to.flags = source->flags & RDSTREAM_CALLER_MASK;
    }
    const bool borrow = (options & RDCONVERT_BORROW) != 0;
    uint32_t status = RDSTATUS_OK;
    if (source->length == 0 && (!IsKind(dc) || dc == RDKIND_BINARY)) {
        if (borrow)
            Borrow(to, data, 0);
        else
            status = CopyBytes(to, data, 0);
    } else if (sc == dc || sc == RDKIND_BINARY || dc == RDKIND_BINARY) {
        if (borrow)
            Borrow(to, data, source->length);
        else
            status = CopyBytes(to, data, source->length);
    } else if (!IsKind(sc) && !IsKind(dc)) {
        status = TranslateText(data, source->length, sc, dc, to);
    } else {
        status = KindConvert(source, to.charset, destination, options);
    }
    if (status != RDSTATUS_OK) {
        FreeStorage(DetachStorage(to));
        if ((options & RDCONVERT_KEEPFORMAT) == 0) to = RDStream{};
    }
    return status;
}

} // namespace rdx
