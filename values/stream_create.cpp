// SPDX-License-Identifier: Apache-2.0
// Clearing, creating and freeing stream records.
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/stream_internal.h"

using namespace rdx;

extern "C" RD_EXPORT void RDStreamClear(RDStream *stream) {
    if (!TranslationReady() || stream == nullptr) return;
    *stream = RDStream{};
}

extern "C" RD_EXPORT uint32_t RDStreamCreate(RDStream *stream, uint32_t maxLength, uint32_t flags,
                                             uint32_t charset) {
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (stream == nullptr) return RDSTATUS_NOSTREAM;
    if ((flags & RDSTREAM_FIXED) != 0 && maxLength == 0) return RDSTATUS_FIXEDNOMAX;
    *stream = RDStream{maxLength, 0, flags, charset, nullptr};
    uint32_t length = 0;
    return StreamDataSize(*stream, &length);
}

extern "C" RD_EXPORT void RDStreamDataFree(RDStream *stream) {
    if (!TranslationReady() || stream == nullptr) return;
    uint8_t *const empty = EmptyStreamData();
    uint8_t *const old = DetachStorage(*stream);
    stream->data = empty;
    FreeStorage(old);
}
