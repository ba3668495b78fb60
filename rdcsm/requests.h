// SPDX-License-Identifier: Apache-2.0
// The requests the server manager answers: one handler per request code,
// run by the dispatcher after the message's header and length are checked.
#pragma once

#include "csmgr/message.h"
#include "store.h"
#include "tool_request.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rdcsm {

using rdx::csmgr::Bytes;
using rdx::csmgr::ConstBytes;

// The largest request taken: a field value of 16 MiB and its request.
inline constexpr uint32_t kMaxRequest = (16u << 20) + 4096;

// The size of a growable answer: needed bytes rounded up to the first
// buffer (the request's size) and whole 2048-byte pieces after it.
inline std::size_t GrownSize(std::size_t needed, std::size_t first) {
    if (needed <= first) return first;
    return first +
           (needed - first + rdx::csmgr::kPiece - 1) / rdx::csmgr::kPiece * rdx::csmgr::kPiece;
}

// True when an answer of size bytes can be sent back: one message carries
// it (message_limit.h). What could not be answered is refused when it is
// put, with RDSTATUS_CSMTOOLARGE.
bool Answerable(std::size_t size);

// The local worker that holds a run.
struct HeldRun {
    int64_t pid = 0, start = 0;
};

// What the handlers share: the store (one connection, behind the lock), the
// settings the information answer carries, and the server's life.
struct ServerState {
    Store store;
    std::mutex lock;
    std::atomic<bool> stopping{false};
    std::atomic<uint32_t> attached{0};
    uint32_t translationMode = 2;
    std::string text = "rdcsm";
    // The tool's subcommands, run for the tool request on the database at
    // this real path; none in a server without the tool.
    ToolRunner tool = nullptr;
    std::string database;
    // This server manager's name among the hosts of its store, the length
    // of the leases it gives, and the runs it handed to local workers (by
    // run: the worker's process id and start time).
    std::string host;
    int64_t leaseMs = 15000;
    std::map<int64_t, HeldRun> held;
};

// One request being answered. The answer starts as a copy of the request
// for the fixed-size requests, else as a bare header; handlers write their
// fields into it or resize it.
struct Exchange {
    ServerState &server;
    ConstBytes request;
    std::vector<uint8_t> &answer;
    uint32_t peer = 0; // the client's process id; 0 when unknown

    Store &store() { return server.store; }
    Bytes Out() { return {answer.data(), answer.size()}; }
};

using Handler = uint32_t (*)(Exchange &);

// For the handlers that take the store's lock themselves, so that long work
// is done off it: runs body (returning a status) under the lock in one
// transaction, committed when the status is 0.
template <class Body> uint32_t InTransaction(ServerState &server, Body body) {
    std::lock_guard guard(server.lock);
    Transaction transaction(server.store.Db());
    const uint32_t status = body();
    if (status == 0) transaction.Commit();
    return status;
}

// Answers one received message (any bytes at all) of the client process
// peer (0: unknown); never reads past the message.
std::vector<uint8_t> Dispatch(ServerState &server, ConstBytes request, uint32_t peer = 0);

// The text of a field of size bytes at at: present only when a NUL ends it
// inside the field and inside the request.
std::optional<std::string_view> TextAt(ConstBytes bytes, std::size_t at, std::size_t size);

// Handlers, by group.
uint32_t HandleShutdown(Exchange &);
uint32_t HandleAttach(Exchange &);
uint32_t HandleInformation(Exchange &);
uint32_t HandleDetach(Exchange &);
uint32_t HandleState(Exchange &);
uint32_t HandleTime(Exchange &);
uint32_t HandleAdvanceClock(Exchange &);
uint32_t HandleNextActivity(Exchange &);
uint32_t HandleDoneActivity(Exchange &);
uint32_t HandleRunActivity(Exchange &);
uint32_t HandleCheckSync(Exchange &);
uint32_t HandleGetId(Exchange &);
uint32_t HandleOpenActivity(Exchange &);
uint32_t HandleGetDescription(Exchange &);
uint32_t HandlePutDescription(Exchange &);
uint32_t HandleLog(Exchange &);
uint32_t HandleGetField(Exchange &);
uint32_t HandlePutField(Exchange &);
uint32_t HandleFileField(Exchange &);
uint32_t HandleTool(Exchange &);

} // namespace rdcsm
