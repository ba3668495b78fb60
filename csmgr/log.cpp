// SPDX-License-Identifier: Apache-2.0
// The two log requests: a text entry (kind 1) and the statistics (kind 2).
#include "csmgr/request_parts.h"
#include "csmgr/transport.h"

#include "rdx_csmgr.h"
#include "rdx_status.h"

using namespace rdx::csmgr;

extern "C" RD_EXPORT uint32_t CSMgrLog(uint32_t handle, uint32_t number, const RDStream *text) {
    Interchange converted;
    Block block;
    if (uint32_t status = SizeByText(text, kLogExtra, converted, block); status != 0) return status;
    Bytes message = block.Span();
    PutHeader(message, kLog, block.Capacity(), 1);
    PutU32(message, kWord16, kLogText);
    PutU32(message, kWord20, handle);
    PutU32(message, kLogNumberAt, number);
    PutText(message, kLogTextAt, converted.Text());
    Answer answer = Exchange(message);
    return AnswerStatus(message, answer, kHeaderSize);
}

extern "C" RD_EXPORT uint32_t CSMgrDataLog(uint32_t handle, const uint32_t *statistics) {
    if (statistics == nullptr) return RDSTATUS_NOARGUMENT;
    uint8_t bytes[kDataLogLength] = {};
    Bytes message(bytes);
    PutHeader(message, kLog, kDataLogLength, 1);
    PutU32(message, kWord16, kLogData);
    PutU32(message, kWord20, handle);
    for (uint32_t i = 0; i < kStatisticsCount; ++i)
        PutU32(message, kStatisticsAt + 4 * i, statistics[i]);
    Answer answer = Exchange(message);
    return AnswerStatus(message, answer, kHeaderSize);
}
