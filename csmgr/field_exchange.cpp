// SPDX-License-Identifier: Apache-2.0
// The named fields the server manager keeps for an activity: reading one
// into a field, writing a field's value, and naming a file as a field.
#include "csmgr/request_parts.h"
#include "csmgr/transport.h"

#include "rdx_csmgr.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"

#include <cstring>

using namespace rdx::csmgr;

namespace {

// A stream record released at the end of the scope.
struct ScopedStream {
    RDStream stream{};
    ~ScopedStream() { RDStreamDataFree(&stream); }
};

// Stores the answer's value text as value 1 of field.
uint32_t StoreValue(std::string_view text, uint32_t field) {
    ScopedStream value;
    uint32_t status = RDStreamCreate(&value.stream, 0, 0, RDCHARSET_INTERCHANGE);
    if (status == 0)
        status = RDStreamDataSet(&value.stream, RDCHARSET_INTERCHANGE, text.data(),
                                 static_cast<uint32_t>(text.size()));
    return status != 0 ? status : RDFieldSetStream(field, 1, &value.stream);
}

} // namespace

extern "C" RD_EXPORT uint32_t CSMgrGetField(uint32_t handle, const RDStream *name, uint32_t field) {
    if (name == nullptr) return RDSTATUS_NOARGUMENT;
    Block block;
    if (!block.Allocate(kFieldLength)) return RDSTATUS_NOMEMORY;
    uint32_t status = PutName(block.Span(), kFieldNameAt, kFieldNameSize, name);
    if (status != 0) return status;
    PutHeader(block.Span(), kGetField, kFieldLength);
    PutU32(block.Span(), kWord16, handle);
    Answer answer = ExchangeGrowable(block.Data(), block.Capacity());
    status = AnswerStatus(block.Span(), answer, kFieldValueAt + 1);
    if (status != 0) return status;
    ConstBytes received(block.Data(), answer.received);
    return StoreValue(GetText(received, kFieldValueAt, received.size() - kFieldValueAt), field);
}

extern "C" RD_EXPORT uint32_t CSMgrPutField(uint32_t handle, const RDStream *name, uint32_t field) {
    if (name == nullptr) return RDSTATUS_NOARGUMENT;
    ScopedStream value;
    uint32_t status = RDFieldGetStream(field, 1, RDCHARSET_INTERCHANGE, &value.stream, nullptr);
    uint8_t *data = nullptr;
    uint32_t length = 0;
    if (status == 0)
        status = RDStreamDataGetInfo(&value.stream, nullptr, nullptr, nullptr, &data, &length);
    if (status != 0) return status;
    Block block;
    if (!block.Allocate(uint64_t{length} + kFieldLength)) return RDSTATUS_NOMEMORY;
    Bytes message = block.Span();
    // A name that does not convert is sent empty; one too long is refused.
    if (PutName(message, kFieldNameAt, kFieldNameSize, name) == RDSTATUS_NOARGUMENT)
        return RDSTATUS_NOARGUMENT;
    PutHeader(message, kPutField, block.Capacity());
    PutU32(message, kWord16, handle);
    if (length != 0) std::memcpy(message.data() + kFieldValueAt, data, length);
    Answer answer = Exchange(message);
    return AnswerStatus(message, answer, kHeaderSize);
}

extern "C" RD_EXPORT uint32_t CSMgrFileField(uint32_t handle, const RDStream *name,
                                             const char *path) {
    if (name == nullptr || path == nullptr || path[0] == '\0') return RDSTATUS_NOARGUMENT;
    // A path cut to its field would name another file.
    const std::size_t pathLength = strnlen(path, kPathSize);
    if (pathLength >= kPathSize) return RDSTATUS_NOARGUMENT;
    uint8_t bytes[kFileLength] = {};
    Bytes message(bytes);
    if (PutName(message, kFieldNameAt, kFieldNameSize, name) != 0) return RDSTATUS_NOARGUMENT;
    PutHeader(message, kFileField, kFileLength);
    PutU32(message, kWord16, handle);
    PutText(message, kPathAt, std::string_view(path, pathLength));
    Answer answer = Exchange(message);
    return AnswerStatus(message, answer, kHeaderSize);
}
