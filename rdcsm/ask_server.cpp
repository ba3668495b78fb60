#include "ask_server.h"

#include "pipe_server.h"

#include "csmgr/message.h"
#include "rdplat_ipc.h"

namespace rdcsm {

namespace {

using namespace rdx::csmgr;

// One exchange in the request's own buffer; true when a whole answer of
// status 0 and of the request's size came back.
bool Transact(Bytes message) {
    RDIPCHandle pipe = RDIPCOpen(kPipeName, 0);
    if (pipe == nullptr) return false;
    const auto size = static_cast<uint32_t>(message.size());
    uint32_t got = 0, more = 0;
    const int done = RDIPCTransact(pipe, message.data(), size, message.data(), size, &got, &more);
    RDIPCClose(pipe);
    return done != 0 && more == 0 && got == size && GetU32(ConstBytes(message), kLengthAt) == got &&
           StatusOf(ConstBytes(message)) == 0;
}

} // namespace

std::optional<ServerInfo> AskInformation() {
    uint8_t message[kInfoLength] = {};
    PutHeader(Bytes(message), kInformation, kInfoLength);
    PutU32(Bytes(message), kWord16, 1);
    if (!Transact(Bytes(message))) return std::nullopt;
    // Values 2-6 follow the protocol level; 7 and 8 the translation mode.
    ConstBytes answer(message);
    ServerInfo info;
    info.process = GetU32(answer, kInfoValuesAt + 4);
    info.attached = GetU32(answer, kInfoValuesAt + 8);
    info.state = GetU32(answer, kInfoValuesAt + 12);
    info.queued = GetU32(answer, kInfoValuesAt + 16);
    info.running = GetU32(answer, kInfoValuesAt + 20);
    info.activities = GetU32(answer, kInfoValues2At);
    info.links = GetU32(answer, kInfoValues2At + 4);
    return info;
}

bool AskShutdown() {
    uint8_t message[kBareLength] = {};
    PutHeader(Bytes(message), kShutdown, kBareLength);
    return Transact(Bytes(message));
}

} // namespace rdcsm
