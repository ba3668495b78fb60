// SPDX-License-Identifier: Apache-2.0
// The activity requests of a host and of a waiting activity: next, done,
// run and the sync check.
#include "csmgr/request_parts.h"
#include "csmgr/transport.h"

#include "rdx_csmgr.h"
#include "rdx_status.h"

using namespace rdx::csmgr;

namespace {

// Answer words copied into the next-activity record, in its order.
constexpr std::size_t kNextWords[] = {16, 20, 24, 32, 36};

} // namespace

extern "C" RD_EXPORT uint32_t CSMgrNextActivity(NextActivityRecord *record) {
    if (record == nullptr) return RDSTATUS_NOARGUMENT;
    uint8_t bytes[kActivityLength] = {};
    Bytes message(bytes);
    PutHeader(message, kNextActivity, kActivityLength);
    Answer answer = Exchange(message);
    uint32_t status = AnswerStatus(message, answer, kNextTextAt);
    if (status != 0) return status;
    ConstBytes received(bytes, answer.received);
    uint32_t words[5];
    for (std::size_t i = 0; i < 5; ++i)
        words[i] = GetU32(received, kNextWords[i]);
    record->handle = words[0];
    record->command = words[1];
    for (std::size_t i = 0; i < 3; ++i)
        record->words[i] = words[2 + i];
    std::string_view name = GetText(received, kNextTextAt, kNextTextSize);
    if (record->name == nullptr || name.empty()) return 0;
    return RDStreamDataSet(record->name, RDCHARSET_INTERCHANGE, name.data(),
                           static_cast<uint32_t>(name.size()));
}

extern "C" RD_EXPORT uint32_t CSMgrDoneActivity(uint32_t handle, uint32_t endCode) {
    uint8_t bytes[kActivityLength] = {};
    Bytes message(bytes);
    PutHeader(message, kDoneActivity, kActivityLength);
    PutU32(message, kWord16, handle);
    PutU32(message, kWord28, endCode);
    Answer answer = Exchange(message);
    return AnswerStatus(message, answer, kHeaderSize);
}

extern "C" RD_EXPORT uint32_t CSMgrRunActivity(uint32_t handle, const RDStream *name) {
    Interchange text;
    Block block;
    if (uint32_t status = SizeByText(name, kRunExtra, text, block); status != 0) return status;
    Bytes message = block.Span();
    PutHeader(message, kRunActivity, block.Capacity());
    PutU32(message, kWord16, handle);
    PutText(message, kRunNameAt, text.Text());
    Answer answer = Exchange(message);
    return AnswerStatus(message, answer, kHeaderSize);
}

extern "C" RD_EXPORT uint32_t CSMgrCheckSync(uint32_t handle, uint32_t *done) {
    if (done == nullptr) return RDSTATUS_NOARGUMENT;
    *done = 0;
    uint8_t bytes[kSyncLength] = {};
    Bytes message(bytes);
    PutHeader(message, kCheckSync, kSyncLength);
    PutU32(message, kWord16, handle);
    Answer answer = Exchange(message);
    uint32_t status = AnswerStatus(message, answer, kWord16 + 4);
    if (status == 0 && GetU32(message, kWord16) == 0) *done = 1;
    return status;
}
