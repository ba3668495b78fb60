// SPDX-License-Identifier: Apache-2.0
// Reading a stream's length, data and format.
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/stream_internal.h"

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDStreamDataGetLength(const RDStream *stream) {
    if (!TranslationReady() || stream == nullptr) return 0;
    return stream->length;
}

extern "C" RD_EXPORT uint32_t RDStreamDataGetBuffer(const RDStream *stream, uint32_t *charset,
                                                    uint8_t **data) {
    if (charset != nullptr) *charset = 0;
    if (data != nullptr) *data = nullptr;
    if (!TranslationReady() || stream == nullptr) return 0;
    if (charset != nullptr) *charset = stream->charset;
    if (data != nullptr) *data = stream->data != nullptr ? stream->data : EmptyStreamData();
    return stream->length;
}

extern "C" RD_EXPORT uint32_t RDStreamDataGetInfo(const RDStream *stream, uint32_t *maxLength,
                                                  uint32_t *flags, uint32_t *charset,
                                                  uint8_t **data, uint32_t *length) {
    if (maxLength != nullptr) *maxLength = 0;
    if (flags != nullptr) *flags = 0;
    if (charset != nullptr) *charset = 0;
    if (data != nullptr) *data = nullptr;
    if (length != nullptr) *length = 0;
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (stream == nullptr) return RDSTATUS_NOSTREAM;
    if (maxLength != nullptr) *maxLength = stream->maxLength;
    if (flags != nullptr) *flags = stream->flags & RDSTREAM_CALLER_MASK;
    if (charset != nullptr) *charset = stream->charset;
    if (data != nullptr) *data = stream->data;
    if (length != nullptr) *length = stream->length;
    return RDSTATUS_OK;
}
