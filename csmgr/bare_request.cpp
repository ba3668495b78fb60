// SPDX-License-Identifier: Apache-2.0
// The requests whose body is at most one word: attach, detach, state and
// shutdown. Below both the attachment and the start-up, which send them.
#include "csmgr/server.h"
#include "csmgr/transport.h"

namespace rdx::csmgr {

uint32_t SendBare(uint32_t code, uint32_t length, uint32_t word16) {
    uint8_t bytes[kStateLength] = {};
    Bytes message(bytes, length);
    PutHeader(message, code, length);
    if (length > kHeaderSize) PutU32(message, kWord16, word16);
    Answer answer = Exchange(message);
    return AnswerStatus(message, answer, kHeaderSize);
}

} // namespace rdx::csmgr
