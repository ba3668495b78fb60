// SPDX-License-Identifier: Apache-2.0
// Reading and changing the flag word of a stream.
#include "rdplat_mem.h"
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/stream_internal.h"

#include <algorithm>

using namespace rdx;

namespace {

// Reallocates private storage, keeping its contents, to capacity bytes.
bool Recapacity(RDStream &stream, uint32_t capacity) {
    if (capacity > kLargestLength) return false; // no block can hold it
    void *block = RDMemRealloc(stream.data - kBlockHeader, stream.length + kBlockExtra,
                               capacity + kBlockExtra);
    if (block == nullptr) return false;
    stream.data = DataOfBlock(block, capacity);
    return true;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDStreamDataGetFlags(const RDStream *stream) {
    if (!TranslationReady() || stream == nullptr) return 0;
    return stream->flags;
}

extern "C" RD_EXPORT uint32_t RDStreamDataSetFlags(RDStream *stream, uint32_t flags) {
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (stream == nullptr) return RDSTATUS_NOSTREAM;
    if ((flags & RDSTREAM_FIXED) != 0 && stream->maxLength == 0) return RDSTATUS_FIXEDNOMAX;
    // The markers describe the storage: a caller cannot set or clear them.
    uint32_t markers = stream->flags & RDSTREAM_MARKER_MASK;
    const bool wasFixed = (stream->flags & RDSTREAM_FIXED) != 0;
    const bool fixed = (flags & RDSTREAM_FIXED) != 0;
    if (wasFixed != fixed && HasPrivateStorage(*stream)) {
        const uint32_t capacity =
            fixed ? stream->maxLength : std::max(stream->length, kSmallCapacity);
        if (!Recapacity(*stream, capacity)) return RDSTATUS_NOMEMORY;
        if (!fixed) markers &= ~RDSTREAM_PRESIZED;
    }
    stream->flags = (flags & RDSTREAM_CALLER_MASK) | markers;
    return RDSTATUS_OK;
}
