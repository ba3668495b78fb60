// SPDX-License-Identifier: Apache-2.0
// CSMgrGetID and CSMgrOpenActivity: a name turned into the server manager's
// identifier or activity handle.
#include "csmgr/request_parts.h"
#include "csmgr/transport.h"

#include "rdx_csmgr.h"
#include "rdx_status.h"

using namespace rdx::csmgr;

namespace {

// The answer's word at 16 goes to out whatever the status, when it came.
uint32_t LookUpName(uint32_t code, uint32_t *out, const RDStream *name, uint32_t argument) {
    if (out == nullptr || name == nullptr) return RDSTATUS_NOARGUMENT;
    *out = 0;
    uint8_t bytes[kNameLength] = {};
    Bytes message(bytes);
    uint32_t status = PutName(message, kNameAt, kNameSize, name);
    if (status != 0) return status;
    PutHeader(message, code, kNameLength);
    PutU32(message, kWord20, argument);
    Answer answer = Exchange(message);
    status = AnswerStatus(message, answer, kWord16 + 4);
    if (answer.complete && answer.received >= kWord16 + 4) *out = GetU32(message, kWord16);
    return status;
}

} // namespace

extern "C" RD_EXPORT uint32_t CSMgrGetID(uint32_t *id, const RDStream *name, uint32_t argument) {
    return LookUpName(kGetId, id, name, argument);
}

extern "C" RD_EXPORT uint32_t CSMgrOpenActivity(uint32_t *handle, const RDStream *name,
                                                uint32_t argument) {
    return LookUpName(kOpenActivity, handle, name, argument);
}
