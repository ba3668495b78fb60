// SPDX-License-Identifier: Apache-2.0
// Made texts into streams, and stream bytes in a wanted character set.
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/stream_internal.h"
#include "values/text_internal.h"

#include <cstring>

namespace rdx::text {

StreamBytes::StreamBytes(const RDStream &stream, uint32_t charset, Syntax syntax) {
    if (stream.charset == charset ||
        (syntax == Syntax::Ascii && SameUtf8Text(stream.charset, charset))) {
        if (stream.data != nullptr)
            view_ = std::string_view(reinterpret_cast<const char *>(stream.data), stream.length);
        return;
    }
    uint8_t *data = nullptr;
    uint32_t length = 0;
    status_ = RDStreamDataConvert(&converted_, &stream, RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT,
                                  charset, &data, &length);
    if (status_ == RDSTATUS_OK && data != nullptr)
        view_ = std::string_view(reinterpret_cast<const char *>(data), length);
}

StreamBytes::~StreamBytes() {
    if (converted_.data != nullptr) RDStreamDataFree(&converted_);
}

uint32_t StoreText(RDStream *stream, std::string_view text, uint32_t madeIn, uint32_t charset) {
    if (charset == madeIn) {
        uint32_t length = static_cast<uint32_t>(text.size());
        const uint32_t status = StreamDataSize(*stream, &length);
        if (status == RDSTATUS_OK && length != 0) std::memcpy(stream->data, text.data(), length);
        stream->charset = charset;
        return status;
    }
    // The translation reads the text with its terminator.
    std::string terminated(text);
    terminated.append(kTerminator, '\0');
    RDStream source{0, static_cast<uint32_t>(text.size()), 0, madeIn,
                    reinterpret_cast<uint8_t *>(terminated.data())};
    return RDStreamDataConvert(stream, &source, RDCONVERT_KEEPFORMAT, charset, nullptr, nullptr);
}

uint32_t CheckWriter(const RDStream *stream, uint32_t charset) {
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (stream == nullptr) return RDSTATUS_NOSTREAM;
    if (charset == 0) return RDSTATUS_BADCHARSET;
    return RDSTATUS_OK;
}

} // namespace rdx::text
