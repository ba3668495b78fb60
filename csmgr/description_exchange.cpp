// SPDX-License-Identifier: Apache-2.0
// CSMgrGetDescription and CSMgrPutDescription: an activity's property values
// fetched from and sent back to the server manager.
#include "activity/property_set.h"
#include "csmgr/description.h"
#include "csmgr/request_parts.h"
#include "csmgr/transport.h"

#include "rdplat_mem.h"
#include "rdx_csmgr.h"
#include "rdx_datetime.h"
#include "rdx_status.h"

#include <climits>
#include <cstring>

using namespace rdx::csmgr;

namespace {

// The block of the put request and the bytes of it used so far.
struct PutBlock {
    Block block;
    uint64_t used = kPutItemsAt;

    // Room for an item of size value bytes and the closing item; false (258)
    // when the block cannot grow.
    bool MakeRoom(uint64_t size) {
        const uint64_t wanted = used + size + kItemHeader;
        if (wanted > INT32_MAX) return false;
        return LargeBuffer(&block.Data(), &block.Capacity(), 25, 17, static_cast<uint32_t>(wanted),
                           kPiece) != 0;
    }

    bool Write(uint32_t type, uint32_t charset, uint32_t number, const void *value,
               uint32_t valueSize, uint32_t size) {
        if (!MakeRoom(size)) return false;
        Bytes bytes = block.Span();
        PutU32(bytes, used, type);
        PutU32(bytes, used + 4, charset);
        PutU32(bytes, used + 8, number);
        PutU32(bytes, used + 12, size);
        if (valueSize != 0) std::memcpy(bytes.data() + used + kItemHeader, value, valueSize);
        used += kItemHeader + size; // a text's NUL is already 0
        return true;
    }
};

// Writes one item of the set, or skips it when its type or value is not
// sent; false when the block could not grow.
bool PutItem(PutBlock &put, uint32_t number, uint32_t type, const void *value) {
    if (value == nullptr) return true;
    switch (type) {
    case 1: {
        uint8_t word[4];
        PutU32(Bytes(word), 0, static_cast<uint32_t>(*static_cast<const int32_t *>(value)));
        return put.Write(type, 0, number, word, 4, 4);
    }
    case 5: {
        const auto *datetime = static_cast<const RDDatetime *>(value);
        uint8_t words[8];
        PutU32(Bytes(words), 0, datetime->ticks);
        PutU32(Bytes(words), 4, datetime->date);
        return put.Write(type, 0, number, words, 8, 8);
    }
    case 6: {
        Interchange text;
        if (text.Convert(static_cast<const RDStream *>(value)) != 0 || text.Text().empty())
            return true;
        const auto length = static_cast<uint32_t>(text.Text().size());
        if (length == UINT32_MAX) return false;
        return put.Write(type, RDCHARSET_INTERCHANGE, number, text.Text().data(), length,
                         length + 1);
    }
    case 7: {
        const auto *stream = static_cast<const RDStream *>(value);
        if (stream->charset != RDKIND_RICHTEXT || stream->length == 0 || stream->data == nullptr)
            return true;
        if (stream->length == UINT32_MAX) return false;
        return put.Write(type, RDKIND_RICHTEXT, number, stream->data, stream->length,
                         stream->length + 1);
    }
    default:
        return true;
    }
}

} // namespace

extern "C" RD_EXPORT uint32_t CSMgrGetDescription(uint32_t handle, PropertySet *set) {
    if (set == nullptr) return RDSTATUS_NOARGUMENT;
    Block block;
    if (!block.Allocate(kPiece)) return RDSTATUS_NOMEMORY;
    PutHeader(block.Span(), kGetDescription, kPiece);
    PutU32(block.Span(), kWord20, handle);
    Answer answer = ExchangeGrowable(block.Data(), block.Capacity());
    uint32_t status = AnswerStatus(block.Span(), answer, kHeaderSize);
    if (status != 0) return status;
    return ReadDescription(ConstBytes(block.Data(), answer.received), set);
}

extern "C" RD_EXPORT uint32_t CSMgrPutDescription(uint32_t handle, PropertySet *set) {
    if (set == nullptr) return RDSTATUS_NOARGUMENT;
    PutBlock put;
    if (!put.block.Allocate(kPiece)) return RDSTATUS_NOMEMORY;
    const uint32_t count = rdx::PropertySetCount(set);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t number = 0, type = 0;
        void *value = nullptr;
        if (rdx::PropertySetWalk(set, i == 0, &number, &type, &value) != 0) break;
        // A description that cannot be sent whole is not sent at all.
        if (!PutItem(put, number, type, value)) return RDSTATUS_NOMEMORY;
    }
    // The closing item is the zeroed room kept after the last item.
    Bytes message = put.block.Span();
    PutHeader(message, kPutDescription, put.block.Capacity());
    PutU32(message, kWord20, handle);
    Answer answer = Exchange(message);
    return AnswerStatus(message, answer, kHeaderSize);
}
