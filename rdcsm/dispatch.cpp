// SPDX-License-Identifier: Apache-2.0
// The dispatcher: the header and length checks, the table of request codes
// and their sizes, one transaction around every request that changes state,
// and the bound on what an answer may carry.
#include "requests.h"

#include "message_limit.h"
#include "rdx_status.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <initializer_list>
#include <thread>

namespace rdcsm {

using namespace rdx::csmgr;

namespace {

// How a handler runs: under the store's lock, there and in a transaction,
// or taking the lock itself for as short a time as it can. A handler whose
// only change is one statement (kOneChange) runs under the lock without a
// transaction around it: the statement commits by itself, which saves a
// PostgreSQL store two round trips.
enum Locking { kReads, kChanges, kOwn, kOneChange };

struct Route {
    uint32_t code;
    uint32_t minLength, maxLength;
    bool echo; // the answer is the request with the status set
    Locking locking;
    Handler handler;
};

constexpr uint32_t kAny = kMaxRequest;

constexpr Route kRoutes[] = {
    {kShutdown, kBareLength, kBareLength, true, kReads, HandleShutdown},
    {kAttach, kBareLength, kBareLength, true, kReads, HandleAttach},
    {kInformation, kInfoLength, kInfoLength, true, kReads, HandleInformation},
    {kDetach, kBareLength, kBareLength, true, kReads, HandleDetach},
    {kState, kStateLength, kStateLength, true, kChanges, HandleState},
    {kNextActivity, kActivityLength, kActivityLength, true, kChanges, HandleNextActivity},
    {kDoneActivity, kActivityLength, kActivityLength, true, kChanges, HandleDoneActivity},
    {kRunActivity, kRunExtra, kAny, false, kChanges, HandleRunActivity},
    {kCheckSync, kSyncLength, kSyncLength, true, kReads, HandleCheckSync},
    {kGetDescription, kGetItemsAt, kAny, false, kOwn, HandleGetDescription},
    {kPutDescription, kPutItemsAt + kItemHeader, kAny, false, kOwn, HandlePutDescription},
    {kGetId, kNameLength, kNameLength, true, kReads, HandleGetId},
    {kLog, kDataLogLength, kAny, false, kOneChange, HandleLog},
    {kTime, kClockLength, kClockLength, true, kReads, HandleTime},
    {kAdvanceClock, kClockLength, kClockLength, true, kChanges, HandleAdvanceClock},
    {kGetField, kFieldLength, kFieldLength, false, kReads, HandleGetField},
    {kPutField, kFieldLength, kAny, false, kChanges, HandlePutField},
    {kOpenActivity, kNameLength, kNameLength, true, kChanges, HandleOpenActivity},
    {kFileField, kFileLength, kFileLength, false, kOwn, HandleFileField},
    // The tool's own subcommands: each opens the transactions it needs.
    {kToolRequest, kHeaderSize, kMaxToolRequest, false, kReads, HandleTool},
};

const Route *FindRoute(uint32_t code) {
    for (const Route &route : kRoutes)
        if (route.code == code) return &route;
    return nullptr;
}

// A bare answer: the header alone with the status.
std::vector<uint8_t> Bare(uint32_t code, uint32_t status) {
    std::vector<uint8_t> answer(kHeaderSize, 0);
    PutHeader(Bytes(answer), code, kHeaderSize);
    PutU32(Bytes(answer), kStatusAt, status);
    return answer;
}

uint32_t RunLocked(ServerState &server, const Route &route, Exchange &exchange) {
    std::lock_guard guard(server.lock);
    if (route.locking == kReads || route.locking == kOneChange) return route.handler(exchange);
    Transaction transaction(server.store.Db());
    uint32_t status = route.handler(exchange);
    if (status == 0) transaction.Commit();
    return status;
}

uint32_t RunOnce(ServerState &server, const Route &route, Exchange &exchange) {
    if (route.locking == kOwn) return route.handler(exchange);
    return RunLocked(server, route, exchange);
}

// A store out of reach for a moment (its server restarting, a fail-over)
// is waited for a little, within the client's wait for the answer: the
// request is run again from the start, as nothing of it was committed.
constexpr auto kStoreRetries = {100, 200, 400, 800, 1200}; // ms

uint32_t Run(ServerState &server, const Route &route, ConstBytes request,
             std::vector<uint8_t> &answer, uint32_t peer) {
    const std::vector<uint8_t> first = answer;
    auto retry = kStoreRetries.begin();
    for (;;) {
        Exchange exchange{server, request, answer, peer};
        try {
            return RunOnce(server, route, exchange);
        } catch (const DbError &failure) {
            if (failure.code != kDbUnreachable || retry == kStoreRetries.end() || server.stopping)
                return RDSTATUS_CSMSTORE;
        } catch (const std::bad_alloc &) {
            return RDSTATUS_NOMEMORY;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(*retry++));
        answer = first;
    }
}

} // namespace

std::optional<std::string_view> TextAt(ConstBytes bytes, std::size_t at, std::size_t size) {
    if (at >= bytes.size()) return std::nullopt;
    const std::size_t end = std::min(bytes.size(), at + size);
    const auto *start = bytes.data() + at;
    const void *nul = std::memchr(start, 0, end - at);
    if (nul == nullptr) return std::nullopt;
    return std::string_view(reinterpret_cast<const char *>(start),
                            static_cast<const uint8_t *>(nul) - start);
}

bool Answerable(std::size_t size) {
    return size <= MessageLimit();
}

std::vector<uint8_t> Dispatch(ServerState &server, ConstBytes request, uint32_t peer) {
    if (request.size() < kHeaderSize) return Bare(0, RDSTATUS_CSMBADREQUEST);
    const uint32_t code = GetU32(request, kCodeAt);
    const Route *route = FindRoute(code);
    if (route == nullptr) return Bare(code, RDSTATUS_CSMUNKNOWNCODE);
    if (GetU32(request, kLengthAt) != request.size() || request.size() < route->minLength ||
        request.size() > route->maxLength)
        return Bare(code, RDSTATUS_CSMBADREQUEST);
    std::vector<uint8_t> answer;
    try {
        if (route->echo)
            answer.assign(request.begin(), request.end());
        else
            answer.assign(kHeaderSize, 0);
    } catch (const std::bad_alloc &) {
        return Bare(code, RDSTATUS_NOMEMORY);
    }
    const uint32_t status = Run(server, *route, request, answer, peer);
    if (status != 0) return Bare(code, status);
    if (!Answerable(answer.size())) return Bare(code, RDSTATUS_CSMTOOLARGE);
    PutHeader(Bytes(answer), code, static_cast<uint32_t>(answer.size()));
    return answer;
}

} // namespace rdcsm
