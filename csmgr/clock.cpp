// SPDX-License-Identifier: Apache-2.0
// The server manager's clock: its time value and the test hook that moves it.
#include "csmgr/transport.h"

#include "rdx_csmgr.h"
#include "rdx_status.h"

#include <bit>
#include <cstring>

using namespace rdx::csmgr;

extern "C" RD_EXPORT uint32_t CSMgrTime(uint64_t *time) {
    if (time == nullptr) return RDSTATUS_NOARGUMENT;
    *time = 0;
    uint8_t bytes[kClockLength] = {};
    Bytes message(bytes);
    PutHeader(message, kTime, kClockLength);
    Answer answer = Exchange(message);
    // The value is copied as it comes, whatever the status, when it came.
    if (answer.complete && answer.received >= kWord16 + 8)
        std::memcpy(time, bytes + kWord16, sizeof *time);
    return AnswerStatus(message, answer, kWord16 + 8);
}

extern "C" RD_EXPORT uint32_t __CSMgrAdvanceClock(uint32_t value) {
    uint8_t bytes[kClockLength] = {};
    Bytes message(bytes);
    PutHeader(message, kAdvanceClock, kClockLength);
    PutU32(message, kAdvanceAt, value);
    Answer answer = Exchange(message);
    return AnswerStatus(message, answer, kHeaderSize);
}
