// SPDX-License-Identifier: Apache-2.0
// Dropping the trailing blanks of a text stream.
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/stream_internal.h"

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDStreamDataTrim(RDStream *stream) {
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (stream == nullptr) return RDSTATUS_NOSTREAM;
    if (IsKind(stream->charset) || stream->length == 0) return RDSTATUS_OK;
    const uint8_t *data = stream->data;
    uint32_t length = stream->length;
    if (stream->charset == RDCHARSET_UNICODE) {
        while (length >= 2 && data[length - 2] == 0x20 && data[length - 1] == 0)
            length -= 2;
    } else {
        while (length > 0 && data[length - 1] == 0x20)
            --length;
    }
    return length == stream->length ? RDSTATUS_OK : StreamDataResize(*stream, length);
}
