#include "ask_server.h"

#include "pipe_server.h"

#include "csmgr/message.h"
#include "rdplat_ipc.h"

namespace rdcsm {

namespace {

using namespace rdx::csmgr;

// One exchange in the request's own buffer, its answer awaited at most
// waitMs; answered when a whole answer of status 0 and of the request's
// size came back.
Asked Transact(Bytes message, uint32_t waitMs) {
    RDIPCHandle pipe = RDIPCOpen(kPipeName, 0);
    if (pipe == nullptr) return Asked::kNoServer;
    const auto size = static_cast<uint32_t>(message.size());
    uint32_t got = 0, more = 0;
    const int done = RDIPCSetTimeout(pipe, waitMs) != 0 &&
                     RDIPCTransact(pipe, message.data(), size, message.data(), size, &got, &more);
    RDIPCClose(pipe);
    const bool whole = done != 0 && more == 0 && got == size &&
                       GetU32(ConstBytes(message), kLengthAt) == got &&
                       StatusOf(ConstBytes(message)) == 0;
    return whole ? Asked::kAnswered : Asked::kNoAnswer;
}

} // namespace

Asked AskInformation(uint32_t waitMs, ServerInfo &info) {
    uint8_t message[kInfoLength] = {};
    PutHeader(Bytes(message), kInformation, kInfoLength);
    PutU32(Bytes(message), kWord16, 1);
    const Asked asked = Transact(Bytes(message), waitMs);
    if (asked != Asked::kAnswered) return asked;
    // Values 2-6 follow the protocol level; 7 and 8 the translation mode.
    ConstBytes answer(message);
    info.process = GetU32(answer, kInfoValuesAt + 4);
    info.attached = GetU32(answer, kInfoValuesAt + 8);
    info.state = GetU32(answer, kInfoValuesAt + 12);
    info.queued = GetU32(answer, kInfoValuesAt + 16);
    info.running = GetU32(answer, kInfoValuesAt + 20);
    info.activities = GetU32(answer, kInfoValues2At);
    info.links = GetU32(answer, kInfoValues2At + 4);
    return asked;
}

Asked AskShutdown(uint32_t waitMs) {
    uint8_t message[kBareLength] = {};
    PutHeader(Bytes(message), kShutdown, kBareLength);
    return Transact(Bytes(message), waitMs);
}

std::optional<ServerInfo> AskInformation() {
    ServerInfo info;
    if (AskInformation(kAnswerWaitMs, info) != Asked::kAnswered) return std::nullopt;
    return info;
}

} // namespace rdcsm
