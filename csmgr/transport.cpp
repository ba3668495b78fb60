// SPDX-License-Identifier: Apache-2.0
// The transport: one connection per request with a bounded wait for its
// answer, the answer into the request's buffer, growable answers read on in
// 2048-byte pieces.
#include "csmgr/transport.h"

#include "rdplat_ipc.h"
#include "rdplat_mem.h"
#include "rdx_status.h"

#include <atomic>
#include <climits>

namespace rdx::csmgr {

namespace {

std::atomic<uint32_t> g_seconds{kPipeSeconds};
std::atomic<uint32_t> g_answerMs{kAnswerMs};
// Set while the last request found no server manager.
std::atomic<bool> g_unreachable{false};

// A server manager that takes the connection but never answers holds the
// request no longer than the answer's wait.
void *PipeOpen(const char *name, uint32_t seconds) {
    RDIPCHandle pipe = RDIPCOpen(name, seconds);
    if (pipe != nullptr) RDIPCSetTimeout(pipe, g_answerMs);
    return pipe;
}

bool PipeTransact(void *pipe, const uint8_t *request, uint32_t length, uint8_t *answer,
                  uint32_t size, uint32_t &got, bool &more) {
    uint32_t moreData = 0;
    int done = RDIPCTransact(static_cast<RDIPCHandle>(pipe), request, length, answer, size, &got,
                             &moreData);
    more = moreData != 0;
    return done != 0;
}

bool PipeRead(void *pipe, uint8_t *buffer, uint32_t size, uint32_t &got, bool &more) {
    uint32_t moreData = 0;
    int done = RDIPCRead(static_cast<RDIPCHandle>(pipe), buffer, size, &got, &moreData);
    more = moreData != 0;
    return done != 0;
}

void PipeClose(void *pipe) {
    RDIPCClose(static_cast<RDIPCHandle>(pipe));
}

constexpr Channel kPipe{PipeOpen, PipeTransact, PipeRead, PipeClose};
const Channel *g_channel = &kPipe;

// Closes the connection at the end of the exchange.
class Connection {
  public:
    Connection() : handle_(g_channel->open(kPipeName, g_unreachable ? 0 : g_seconds.load())) {
        g_unreachable = handle_ == nullptr;
    }
    ~Connection() {
        if (handle_ != nullptr) g_channel->close(handle_);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    void *Get() const { return handle_; }

  private:
    void *handle_;
};

void SetStatus(uint8_t *message, uint32_t status) {
    PutU32(Bytes(message, kHeaderSize), kStatusAt, status);
}

// Reads the pieces after the first while more follows; false after a failure
// (its status written into the block).
bool ReadPieces(void *pipe, uint8_t *&block, uint32_t &capacity, uint32_t &total, bool more) {
    while (more) {
        if (capacity > INT32_MAX - kPiece) return SetStatus(block, RDSTATUS_NOMEMORY), false;
        auto *grown = static_cast<uint8_t *>(RDMemRealloc(block, capacity, capacity + kPiece));
        if (grown == nullptr) return SetStatus(block, RDSTATUS_NOMEMORY), false;
        block = grown;
        capacity += kPiece;
        uint32_t got = 0;
        if (!g_channel->read(pipe, block + capacity - kPiece, kPiece, got, more))
            return SetStatus(block, RDSTATUS_EXCHANGE), false;
        total += got;
    }
    return true;
}

// The exchange proper: growable only with a block that may be replaced.
Answer Run(uint8_t *&block, uint32_t &capacity, bool growable) {
    Answer answer;
    Connection pipe;
    if (pipe.Get() == nullptr) {
        SetStatus(block, RDSTATUS_NOPIPE);
        return answer;
    }
    uint32_t total = 0;
    bool more = false;
    if (!g_channel->transact(pipe.Get(), block, capacity, block, capacity, total, more)) {
        SetStatus(block, RDSTATUS_EXCHANGE);
        return answer;
    }
    answer.received = total;
    if (more) {
        // The rest of an answer longer than a fixed request's buffer is not read.
        if (!growable) return SetStatus(block, RDSTATUS_EXCHANGE), answer;
        if (!ReadPieces(pipe.Get(), block, capacity, total, more)) return answer;
        answer.received = total;
    }
    // Without the whole header, the status and length are the request's own.
    if (total < kHeaderSize || GetU32(ConstBytes(block, kHeaderSize), kLengthAt) != total) {
        SetStatus(block, RDSTATUS_EXCHANGE);
        return answer;
    }
    answer.complete = true;
    return answer;
}

} // namespace

Answer Exchange(Bytes message) {
    uint8_t *block = message.data();
    auto capacity = static_cast<uint32_t>(message.size());
    return Run(block, capacity, false);
}

Answer ExchangeGrowable(uint8_t *&block, uint32_t &capacity) {
    return Run(block, capacity, true);
}

uint32_t AnswerStatus(ConstBytes message, Answer answer, std::size_t needed) {
    uint32_t status = StatusOf(message);
    if (status == 0 && (!answer.complete || answer.received < needed)) return RDSTATUS_EXCHANGE;
    return status;
}

const Channel *SetChannel(const Channel *channel) {
    const Channel *old = g_channel;
    g_channel = channel != nullptr ? channel : &kPipe;
    return old;
}

void SetPipeSeconds(uint32_t seconds) {
    g_seconds = seconds;
}

void SetAnswerMs(uint32_t milliseconds) {
    g_answerMs = milliseconds != 0 ? milliseconds : 1;
}

uint32_t PipeSeconds() {
    return g_seconds;
}

uint32_t AnswerMs() {
    return g_answerMs;
}

} // namespace rdx::csmgr
