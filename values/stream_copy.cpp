// SPDX-License-Identifier: Apache-2.0
// Copying a stream with its format into storage of the destination's own.
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/stream_internal.h"

#include <cstring>

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDStreamDataCopy(RDStream *destination, const RDStream *source) {
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (destination == nullptr) return RDSTATUS_NOSTREAM;
    // The old storage is freed only after the copy, so that a source that
    // is the destination itself, or borrows from it, is read intact.
    const RDStream from = source != nullptr ? *source : RDStream{};
    uint8_t *old = DetachStorage(*destination);
    uint32_t status = RDSTATUS_OK;
    if (source == nullptr) {
        *destination = RDStream{};
    } else {
        *destination =
            RDStream{from.maxLength, 0, from.flags & RDSTREAM_CALLER_MASK, from.charset, nullptr};
        uint32_t length = from.length;
        status = StreamDataSize(*destination, &length);
        if (status == RDSTATUS_OK && length != 0) std::memcpy(destination->data, from.data, length);
    }
    FreeStorage(old);
    return status;
}
