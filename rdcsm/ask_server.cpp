// SPDX-License-Identifier: Apache-2.0
#include "ask_server.h"

#include "pipe_server.h"

#include "csmgr/message.h"
#include "rdplat_ipc.h"
#include "rdx_status.h"

#include <vector>

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

namespace {

// The largest answer read: more than any one message carries.
constexpr uint32_t kToolAnswerSize = 8u << 20;

// The tool answer's words and texts, bounded by what was received.
Asked ReadToolAnswer(ConstBytes answer, bool changes, ToolAnswer &out) {
    if (answer.size() < kHeaderSize || GetU32(answer, kLengthAt) != answer.size())
        return Asked::kNoAnswer;
    const uint32_t status = StatusOf(answer);
    // No tool in that server, or more than it can send of a report (what
    // a change printed is short, and the change is made all the same).
    if (status == RDSTATUS_CSMUNKNOWNCODE || (status == RDSTATUS_CSMTOOLARGE && !changes))
        return Asked::kNoServer;
    if (status != 0 || answer.size() < kToolTextAt) return Asked::kNoAnswer;
    // It keeps another database.
    if (GetU32(answer, kToolServedAt) != 1) return Asked::kNoServer;
    const uint32_t outLength = GetU32(answer, kToolOutLengthAt);
    if (outLength > answer.size() - kToolTextAt) return Asked::kNoAnswer;
    const auto *text = reinterpret_cast<const char *>(answer.data()) + kToolTextAt;
    out.status = static_cast<int>(GetU32(answer, kToolStatusAt));
    out.out.assign(text, outLength);
    out.err.assign(text + outLength, answer.size() - kToolTextAt - outLength);
    return Asked::kAnswered;
}

} // namespace

Asked AskTool(const std::string &database, const ToolCommand &command, ToolAnswer &answer) {
    if (database.empty()) return Asked::kNoServer;
    std::string request = EncodeToolRequest(database, command);
    if (request.size() > kMaxToolRequest) return Asked::kNoServer;
    auto *bytes = reinterpret_cast<uint8_t *>(request.data());
    PutHeader(Bytes(bytes, request.size()), kToolRequest, static_cast<uint32_t>(request.size()));
    RDIPCHandle pipe = RDIPCOpen(kPipeName, 0);
    if (pipe == nullptr) return Asked::kNoServer;
    std::vector<uint8_t> received(kToolAnswerSize);
    uint32_t got = 0, more = 0;
    const int done = RDIPCSetTimeout(pipe, kToolWaitMs) != 0 &&
                     RDIPCTransact(pipe, bytes, static_cast<uint32_t>(request.size()),
                                   received.data(), kToolAnswerSize, &got, &more);
    RDIPCClose(pipe);
    if (done == 0 || more != 0 || got > kToolAnswerSize) return Asked::kNoAnswer;
    const bool changes = command.command == "define" || command.command == "run";
    return ReadToolAnswer(ConstBytes(received.data(), got), changes, answer);
}

std::optional<ServerInfo> AskInformation() {
    ServerInfo info;
    if (AskInformation(kAnswerWaitMs, info) != Asked::kAnswered) return std::nullopt;
    return info;
}

} // namespace rdcsm
