// SPDX-License-Identifier: Apache-2.0
// The activity requests: names to handles, the run queue (run, next, done)
// and the sync check of a waiting activity.
#include "host_watch.h"
#include "lease.h"
#include "requests.h"

#include "rdx_status.h"

namespace rdcsm {

using namespace rdx::csmgr;

namespace {

// Names of codes 12 and 18: the field at 24 must hold its NUL.
uint32_t LookUp(Exchange &exchange, ObjectKind kind) {
    auto name = TextAt(exchange.request, kNameAt, kNameSize);
    if (!name) return RDSTATUS_CSMBADREQUEST;
    auto handle = exchange.store().FindObject(kind, *name);
    if (!handle) return RDSTATUS_CSMNONAME;
    PutU32(exchange.Out(), kWord16, static_cast<uint32_t>(*handle));
    return 0;
}

} // namespace

// Argument 4 asks for a link's identifier; any other, an activity's handle.
uint32_t HandleGetId(Exchange &exchange) {
    const uint32_t argument = GetU32(exchange.request, kWord20);
    return LookUp(exchange, argument == 4 ? kLink : kActivity);
}

// Argument 1 opens the activity for a run in the caller's own process (a
// direct run): a running run is recorded with the caller as its host, and
// the answer's handle is the run's, so that its log records, statistics and
// end go to that run. Any other argument answers the activity's handle.
uint32_t HandleOpenActivity(Exchange &exchange) {
    const uint32_t status = LookUp(exchange, kActivity);
    if (status != 0 || GetU32(exchange.request, kWord20) != kOpenDirectRun) return status;
    Store &store = exchange.store();
    const int64_t now = store.NowMs();
    Statement insert(store.Db(), "INSERT INTO runs(activity, state, queued_ms, started_ms) "
                                 "VALUES(?, 1, ?, ?) RETURNING id");
    insert.Bind(1, int64_t{GetU32(exchange.Out(), kWord16)}).Bind(2, now).Bind(3, now);
    const int64_t run = insert.Returned();
    RecordHost(store, run, exchange.peer);
    HoldDirectRun(exchange.server, run, exchange.peer);
    PutU32(exchange.Out(), kWord16, kRunBase + static_cast<uint32_t>(run));
    return 0;
}

// Queues a run of the named activity for the waiting handle (0: nobody
// waits). The answer's word 16 is the run's handle.
uint32_t HandleRunActivity(Exchange &exchange) {
    auto name = TextAt(exchange.request, kRunNameAt, exchange.request.size() - kRunNameAt);
    if (!name) return RDSTATUS_CSMBADREQUEST;
    Store &store = exchange.store();
    auto activity = store.FindObject(kActivity, *name);
    if (!activity) return RDSTATUS_CSMNONAME;
    const uint32_t waiter = GetU32(exchange.request, kWord16);
    Statement insert(store.Db(), "INSERT INTO runs(activity, waiter, queued_ms) VALUES(?, ?, ?) "
                                 "RETURNING id");
    insert.Bind(1, *activity).Bind(2, int64_t{waiter}).Bind(3, store.NowMs());
    const int64_t run = insert.Returned();
    exchange.answer.resize(kWord16 + 4);
    PutU32(exchange.Out(), kWord16, kRunBase + static_cast<uint32_t>(run));
    return 0;
}

// Hands the oldest queued run to the asking host, which is recorded as the
// run's host. Words: 16 the run's handle, 20 the command (0: run), 24 the
// activity's handle, 32 the waiting handle, 36 the run's flags (bit 0:
// resume, bit 1: full refresh); the activity's name at 40.
uint32_t HandleNextActivity(Exchange &exchange) {
    auto claim = ClaimNextRun(exchange.server, exchange.peer);
    if (!claim) return RDSTATUS_CSMNOTHINGTORUN;
    Bytes out = exchange.Out();
    std::fill(out.begin() + kHeaderSize, out.end(), 0);
    PutU32(out, kWord16, kRunBase + static_cast<uint32_t>(claim->run));
    PutU32(out, kWord20, 0);
    PutU32(out, kWord24, static_cast<uint32_t>(claim->activity));
    PutU32(out, 32, static_cast<uint32_t>(claim->waiter));
    PutU32(out, 36, static_cast<uint32_t>(claim->flags));
    PutText(out, kNextTextAt, std::string_view(claim->name).substr(0, kNextTextSize - 1));
    return 0;
}

namespace {

// The run an activity's handle ends: the oldest running run of the activity
// that the caller itself hosts (by process id and start time), or for a
// caller the server cannot see, the oldest without a known host. Another
// host's run is never ended through the activity.
std::optional<int64_t> CallersRun(Store &store, int64_t activity, uint32_t peer) {
    if (peer == 0) {
        Statement oldest(store.Db(), "SELECT id FROM runs WHERE activity = ? AND state = 1 "
                                     "AND host_pid IS NULL ORDER BY id LIMIT 1");
        oldest.Bind(1, activity);
        if (!oldest.Step()) return std::nullopt;
        return oldest.Int(0);
    }
    Statement own(store.Db(), "SELECT id FROM runs WHERE activity = ? AND state = 1 "
                              "AND host_pid = ? AND host_start = ? ORDER BY id LIMIT 1");
    own.Bind(1, activity).Bind(2, int64_t{peer}).Bind(3, ProcessStart(peer).value_or(-1));
    if (!own.Step()) return std::nullopt;
    return own.Int(0);
}

} // namespace

// Ends a run with its end code. An activity handle ends the caller's own
// running run of the activity; a run that has ended already stays as it
// was, except one recorded as lost, whose host has told its end after all.
// A run that another host holds now, or that was queued again, is not
// ended by its former host.
uint32_t HandleDoneActivity(Exchange &exchange) {
    const uint32_t handle = GetU32(exchange.request, kWord16);
    const int64_t endCode = GetU32(exchange.request, kWord28);
    Store &store = exchange.store();
    auto resolved = store.Resolve(handle);
    if (!resolved) return RDSTATUS_CSMNOHANDLE;
    int64_t run = resolved->run;
    if (run == 0) {
        auto own = CallersRun(store, resolved->object, exchange.peer);
        if (!own) return 0;
        run = *own;
    }
    Statement done(store.Db(), "UPDATE runs SET state = 2, end_code = ?, ended_ms = ? "
                               "WHERE id = ? AND (state = 3 OR (state = 1 AND "
                               "(host IS NULL OR host = ?)))");
    done.Bind(1, endCode).Bind(2, store.NowMs()).Bind(3, run).Bind(4, exchange.server.host).Run();
    exchange.server.held.erase(run);
    return 0;
}

// Word 16: the number of runs queued for the handle that have not ended
// (the request's own word, 0, for handle 0).
uint32_t HandleCheckSync(Exchange &exchange) {
    const uint32_t handle = GetU32(exchange.request, kWord16);
    if (handle == 0) return 0; // nobody waits as handle 0
    Statement open(exchange.store().Db(),
                   "SELECT count(*) FROM runs WHERE waiter = ? AND state < 2");
    open.Bind(1, int64_t{handle});
    const int64_t count = open.Step() ? open.Int(0) : 0;
    PutU32(exchange.Out(), kWord16, static_cast<uint32_t>(count));
    return 0;
}

} // namespace rdcsm
