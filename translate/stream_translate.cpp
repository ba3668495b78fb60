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
// instead of storage that the library allocates.
constexpr uint32_t kShortText = 64;
constexpr uint32_t kShortOutput = 4 * kShortText + 16;

// The destination shares the source's bytes, cut to its maximum length.
void Borrow(RDStream &destination, const uint8_t *data, uint32_t length) {
    if (destination.maxLength != 0) length = std::min(length, destination.maxLength);
    destination.data = const_cast<uint8_t *>(data);
    destination.length = length;
    destination.flags = (destination.flags & ~RDSTREAM_PRESIZED) | RDSTREAM_BORROWED;
}

uint32_t CopyBytes(RDStream &destination, const uint8_t *data, uint32_t length) {
    uint32_t status = StreamDataSize(destination, &length);
    if (status == RDSTATUS_OK && length != 0) std::memcpy(destination.data, data, length);
    return status;
}

// Translation of a text between two different text codes.
uint32_t TranslateText(const uint8_t *data, uint32_t length, uint32_t sc, uint32_t dc,
                       RDStream &destination) {
    uint32_t empty = 0;
    uint32_t status = StreamDataSize(destination, &empty);
    if (status != RDSTATUS_OK) return status;
    alignas(8) uint8_t shortOutput[kShortOutput];
    void *output = nullptr;
    uint32_t produced = 0;
    if (length <= kShortText) {
        output = shortOutput;
        produced = kShortOutput - 8; // room for any terminator
        status = TextTranslate(data, length, sc, &output, &produced, dc);
        if (status == RDSTATUS_NOFIT) output = nullptr; // longer than foreseen
    }
    if (output == nullptr) status = TextTranslate(data, length, sc, &output, &produced, dc);
    if (status == RDSTATUS_NOFIT && (destination.flags & RDSTREAM_TRUNCATE) != 0)
        status = RDSTATUS_OK;
    if (status == RDSTATUS_OK) {
        status = CopyBytes(destination, static_cast<const uint8_t *>(output), produced);
        if (status == RDSTATUS_OK) WriteTerminator(destination);
    }
    if (output != shortOutput) xcore::FreeOutput(output);
    return status;
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
