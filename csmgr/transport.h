// SPDX-License-Identifier: Apache-2.0
// The exchange of one request with the server manager: a pipe connection of
// its own, the request written as one message, the answer read back into the
// request's buffer (or, for the growable requests, into a heap block that
// grows by 2048-byte pieces while the answer goes on).
#pragma once

#include "csmgr/message.h"

#include <cstdint>

namespace rdx::csmgr {

// The name of the server manager's pipe; the seconds a request waits for a
// missing pipe (one retry, so that a restarting server manager is waited
// for) and the milliseconds it waits for the answer.
inline constexpr const char *kPipeName = "RDCSMP";
inline constexpr uint32_t kPipeSeconds = 2;
inline constexpr uint32_t kAnswerMs = 5000;

// What came back: whether a complete answer arrived, and how many bytes.
struct Answer {
    bool complete = false;
    uint32_t received = 0;
};

// Sends message (its length field set, message.size() bytes long) and reads
// the answer into it. A failure writes its status into the message: 782 when
// the pipe cannot be opened, 783 when the exchange fails (an answer that
// does not come within the answer's wait among them) or the answer is
// incomplete (shorter than the header, or not as long as its length field
// says, or longer than the buffer).
Answer Exchange(Bytes message);

// The same for a growable request in *block, a heap block of *capacity bytes
// from RDMemAlloc: the answer may grow the block (258 in the status when it
// cannot), and block and capacity then describe the grown block.
Answer ExchangeGrowable(uint8_t *&block, uint32_t &capacity);

// The status of an exchanged message: the answer's status, or 783 when the
// status is 0 but the answer ended before byte needed (the end of the last
// field the caller reads).
uint32_t AnswerStatus(ConstBytes message, Answer answer, std::size_t needed);

// The connection the transport uses. The default is the platform's named
// pipe; tests and the fuzzer substitute their own.
struct Channel {
    void *(*open)(const char *name, uint32_t seconds); // null when it fails
    bool (*transact)(void *channel, const uint8_t *request, uint32_t length, uint8_t *answer,
                     uint32_t size, uint32_t &got, bool &more);
    bool (*read)(void *channel, uint8_t *buffer, uint32_t size, uint32_t &got, bool &more);
    void (*close)(void *channel);
};

// Replaces the connection (null restores the named pipe); returns the
// channel that was in use.
const Channel *SetChannel(const Channel *channel);

// The waits of a request: for a missing pipe, in seconds, and for each
// answer, in milliseconds (at least 1). Once a request has found no server
// manager, later ones do not wait for the pipe until one reaches it again,
// so that a client that lost its server manager fails each request at once.
void SetPipeSeconds(uint32_t seconds);
void SetAnswerMs(uint32_t milliseconds);
uint32_t PipeSeconds();
uint32_t AnswerMs();

// Takes the waits from the environment (RD_CSMGR_TIMEOUT, RD_CSMGR_PIPE_WAIT)
// or else from quarry.ini ([Configuration] AnswerTimeout, PipeWait), in
// whole seconds; a wait that is not set, or not a number in its range
// (1-3600 and 0-600), stays as it is.
void ReadWaits();

} // namespace rdx::csmgr
