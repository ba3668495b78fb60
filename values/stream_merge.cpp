// SPDX-License-Identifier: Apache-2.0
// Building a stream from a base with another stream inserted into it.
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/stream_internal.h"

#include <algorithm>
#include <cstring>

using namespace rdx;

namespace {

// Copies the base's first q bytes, the insert, then the rest of the base
// into the sized target, each part limited by the room left.
void FillMerged(RDStream &target, const RDStream &base, uint32_t q, const RDStream &insert) {
    uint32_t room = target.length;
    uint8_t *out = target.data;
    const uint32_t head = std::min(q, room);
    if (head != 0) std::memcpy(out, base.data, head);
    out += head;
    room -= head;
    const uint32_t middle = std::min(insert.length, room);
    if (middle != 0) std::memcpy(out, insert.data, middle);
    out += middle;
    room -= middle;
    if (room != 0 && base.length > q)
        std::memcpy(out, base.data + q, std::min(base.length - q, room));
    WriteTerminator(target);
}

uint32_t Merge(RDStream &destination, const RDStream &base, uint32_t q, const RDStream &insert) {
    const uint64_t total = uint64_t{base.length} + insert.length;
    if (total == 0 || base.length < q) {
        RDStreamDataFree(&destination);
        return RDSTATUS_OK;
    }
    if (total > kLargestLength) return RDSTATUS_NOMEMORY;
    const bool aside = SharesStorage(destination, base) || SharesStorage(destination, insert);
    RDStream built = aside ? AsideRecord(destination) : RDStream{};
    RDStream &target = aside ? built : destination;
    auto length = static_cast<uint32_t>(total);
    uint32_t status = StreamDataSize(target, &length);
    if (status == RDSTATUS_OK) {
        FillMerged(target, base, q, insert);
        target.charset = base.charset;
    }
    if (aside && status != RDSTATUS_NOFIT) {
        AdoptStorage(destination, built);
        if (status == RDSTATUS_OK) destination.charset = base.charset;
    }
    return status;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDStreamDataMerge(RDStream *destination, const RDStream *base,
                                                uint32_t position, const RDStream *insert) {
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (destination == nullptr || base == nullptr || insert == nullptr) return RDSTATUS_NOSTREAM;
    if (position == 0) return RDSTATUS_BADPOSITION;
    RDStream converted{};
    const RDStream *piece = insert;
    if (insert->charset != base->charset) {
        uint32_t status = StreamTranslate(insert, base->charset, &converted,
                                          RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT);
        if (status != RDSTATUS_OK) return status;
        piece = &converted;
    }
    uint32_t status = Merge(*destination, *base, position - 1, *piece);
    FreeStorage(DetachStorage(converted));
    return status;
}
