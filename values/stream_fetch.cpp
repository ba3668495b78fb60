// SPDX-License-Identifier: Apache-2.0
// Reading part of a stream: into caller's bytes (fetch) or into another
// stream (extract).
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/stream_internal.h"

#include <cstring>

using namespace rdx;

namespace {

// The count of bytes from offset q that the data of length holds.
uint32_t Available(uint32_t length, uint32_t q, uint32_t count) {
    if (uint64_t{q} + count <= length) return count;
    return length >= q ? length - q : 0;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDStreamDataFetch(const RDStream *stream, uint32_t position,
                                                uint32_t count, void *bytes, uint32_t *fetched) {
    if (fetched != nullptr) *fetched = 0;
    auto *out = static_cast<uint8_t *>(bytes);
    if (out != nullptr) out[0] = 0;
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (out == nullptr) return RDSTATUS_NULLARG1;
    if (stream == nullptr) return RDSTATUS_NOSTREAM;
    if (position == 0) return RDSTATUS_BADPOSITION;
    const uint32_t q = position - 1;
    const uint32_t n = Available(stream->length, q, count);
    if (n != 0) std::memcpy(out, stream->data + q, n);
    out[n] = 0;
    if (fetched != nullptr) *fetched = n;
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDStreamDataExtract(RDStream *destination, const RDStream *source,
                                                  uint32_t position, uint32_t count) {
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (destination == nullptr || source == nullptr) return RDSTATUS_NOSTREAM;
    if (position == 0) return RDSTATUS_BADPOSITION;
    const uint32_t q = position - 1;
    if (count == 0 || source->length < q) {
        RDStreamDataFree(destination);
        return RDSTATUS_OK;
    }
    uint32_t n = Available(source->length, q, count);
    // Sizing may move or free the bytes to copy when they are the
    // destination's own: then the result is built aside.
    const bool aside = SharesStorage(*destination, *source);
    RDStream built = aside ? AsideRecord(*destination) : RDStream{};
    RDStream &target = aside ? built : *destination;
    const uint8_t *from = source->data;
    const uint32_t charset = source->charset;
    uint32_t status = StreamDataSize(target, &n);
    if (status == RDSTATUS_OK) {
        if (n != 0) std::memcpy(target.data, from + q, n);
        WriteTerminator(target);
        target.charset = charset;
    }
    if (aside && status != RDSTATUS_NOFIT) {
        AdoptStorage(*destination, built);
        if (status == RDSTATUS_OK) destination->charset = charset;
    }
    return status;
}
