// The activity requests: names to handles, the run queue (run, next, done)
// and the sync check of a waiting activity.
#include "host_watch.h"
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

uint32_t HandleOpenActivity(Exchange &exchange) {
    return LookUp(exchange, kActivity);
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
    Statement insert(store.Db(), "INSERT INTO runs(activity, waiter, queued_ms) VALUES(?, ?, ?)");
    insert.Bind(1, *activity).Bind(2, int64_t{waiter}).Bind(3, store.NowMs()).Run();
    const int64_t run = sqlite3_last_insert_rowid(store.Db().Handle());
    exchange.answer.resize(kWord16 + 4);
    PutU32(exchange.Out(), kWord16, kRunBase + static_cast<uint32_t>(run));
    return 0;
}

// Hands the oldest queued run to the asking host, which is recorded as the
// run's host. Words: 16 the run's handle, 20 the command (0: run), 24 the
// activity's handle, 32 the waiting handle, 36 the run's flags (bit 0:
// resume); the activity's name at 40.
uint32_t HandleNextActivity(Exchange &exchange) {
    Store &store = exchange.store();
    Statement next(store.Db(), "SELECT r.id, r.activity, r.waiter, o.name, r.flags FROM runs r "
                               "JOIN objects o ON o.handle = r.activity "
                               "WHERE r.state = 0 ORDER BY r.id LIMIT 1");
    if (!next.Step()) return RDSTATUS_CSMNOTHINGTORUN;
    const int64_t run = next.Int(0);
    const std::string name = next.Text(3);
    Statement start(store.Db(), "UPDATE runs SET state = 1, started_ms = ? WHERE id = ?");
    start.Bind(1, store.NowMs()).Bind(2, run).Run();
    RecordHost(store, run, exchange.peer);
    Bytes out = exchange.Out();
    std::fill(out.begin() + kHeaderSize, out.end(), 0);
    PutU32(out, kWord16, kRunBase + static_cast<uint32_t>(run));
    PutU32(out, kWord20, 0);
    PutU32(out, kWord24, static_cast<uint32_t>(next.Int(1)));
    PutU32(out, 32, static_cast<uint32_t>(next.Int(2)));
    PutU32(out, 36, static_cast<uint32_t>(next.Int(4)));
    PutText(out, kNextTextAt, std::string_view(name).substr(0, kNextTextSize - 1));
    return 0;
}

// Ends a run with its end code. An activity handle ends the activity's
// oldest running run; a run that has ended already stays as it was, except
// one recorded as lost, whose host has told its end after all.
uint32_t HandleDoneActivity(Exchange &exchange) {
    const uint32_t handle = GetU32(exchange.request, kWord16);
    const int64_t endCode = GetU32(exchange.request, kWord28);
    Store &store = exchange.store();
    auto resolved = store.Resolve(handle);
    if (!resolved) return RDSTATUS_CSMNOHANDLE;
    int64_t run = resolved->run;
    if (run == 0) {
        Statement oldest(store.Db(), "SELECT id FROM runs WHERE activity = ? AND state = 1 "
                                     "ORDER BY id LIMIT 1");
        oldest.Bind(1, resolved->object);
        if (!oldest.Step()) return 0;
        run = oldest.Int(0);
    }
    Statement done(store.Db(), "UPDATE runs SET state = 2, end_code = ?, ended_ms = ? "
                               "WHERE id = ? AND state <> 2");
    done.Bind(1, endCode).Bind(2, store.NowMs()).Bind(3, run).Run();
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
