// SPDX-License-Identifier: Apache-2.0
// Claims, renewals and take-overs of runs between the hosts of one store.
#include "lease.h"

#include "host_watch.h"

#include "rdx_activity.h"
#include "rdx_status.h"

#include <csignal>
#include <map>
#include <unistd.h>
#include <vector>

namespace rdcsm {

namespace {

// The oldest queued run; row-locked and passed over by other hosts' claims
// in a store that has row locks.
constexpr const char *kNextQueued =
    "SELECT r.id, r.activity, r.waiter, o.name, r.flags FROM runs r "
    "JOIN objects o ON o.handle = r.activity "
    "WHERE r.state = 0 ORDER BY r.id LIMIT 1";
constexpr const char *kNextQueuedLocked =
    "SELECT r.id, r.activity, r.waiter, o.name, r.flags FROM runs r "
    "JOIN objects o ON o.handle = r.activity "
    "WHERE r.state = 0 ORDER BY r.id LIMIT 1 FOR UPDATE OF r SKIP LOCKED";

void LogRun(Store &store, int64_t run, const std::string &text) {
    Statement insert(store.Db(), "INSERT INTO log(time_ms, activity, run, number, text) "
                                 "SELECT ?, activity, id, ?, ? FROM runs WHERE id = ?");
    insert.Bind(1, store.NowMs())
        .Bind(2, int64_t{RDMESSAGE_INFOTEXT})
        .Bind(3, text)
        .Bind(4, run)
        .Run();
}

int64_t LeaseEnd(ServerState &server) {
    return server.store.NowMs() + server.leaseMs;
}

} // namespace

std::string MachineName() {
    char name[256] = "";
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
    return name;
}

std::optional<Claim> ClaimNextRun(ServerState &server, uint32_t pid) {
    Store &store = server.store;
    Claim claim;
    {
        Statement next(store.Db(), store.Db().IsPostgres() ? kNextQueuedLocked : kNextQueued);
        if (!next.Step()) return std::nullopt;
        claim = {next.Int(0), next.Int(1), next.Int(2), next.Int(4), next.Text(3)};
    }
    Statement start(store.Db(), "UPDATE runs SET state = 1, started_ms = ?, host = ?, "
                                "lease_ms = ?, claims = claims + 1 WHERE id = ?");
    start.Bind(1, store.NowMs()).Bind(2, server.host).Bind(3, LeaseEnd(server));
    start.Bind(4, claim.run).Run();
    RecordHost(store, claim.run, pid);
    // A worker runs one run at a time: one that claims again is done with
    // any it held before, and a stop meant for those must not reach it.
    std::erase_if(server.held, [pid](const auto &entry) { return entry.second.pid == pid; });
    server.held[claim.run] = {pid, ProcessStart(pid).value_or(-1)};
    return claim;
}

void HoldDirectRun(ServerState &server, int64_t run, uint32_t pid) {
    Statement hold(server.store.Db(), "UPDATE runs SET host = ?, lease_ms = ? WHERE id = ?");
    hold.Bind(1, server.host).Bind(2, LeaseEnd(server)).Bind(3, run).Run();
    server.held[run] = {pid, ProcessStart(pid).value_or(-1)};
}

void LoadHeldRuns(ServerState &server) {
    Statement held(server.store.Db(), "SELECT id, host_pid, host_start FROM runs "
                                      "WHERE state = 1 AND host = ?");
    held.Bind(1, server.host);
    while (held.Step())
        server.held[held.Int(0)] = {held.IsNull(1) ? 0 : held.Int(1), held.Int(2)};
}

void RenewLeases(ServerState &server) {
    Statement renew(server.store.Db(), "UPDATE runs SET lease_ms = ? WHERE state = 1 AND host = ?");
    renew.Bind(1, LeaseEnd(server)).Bind(2, server.host).Run();
}

int StopRunsNoLongerHeld(ServerState &server) {
    int asked = 0;
    for (auto it = server.held.begin(); it != server.held.end();) {
        Statement row(server.store.Db(), "SELECT state, host FROM runs WHERE id = ?");
        row.Bind(1, it->first);
        const bool found = row.Step();
        const int64_t state = found ? row.Int(0) : kEnded;
        const bool ours =
            found && state == kRunning && !row.IsNull(1) && row.Text(1) == server.host;
        if (ours) {
            ++it;
            continue;
        }
        // Ended here (its host told its end): nothing to stop. Queued again
        // or running elsewhere: the worker must not write on.
        // A worker that is gone (its run queued again for that) has nothing
        // to stop.
        const HeldRun &held = it->second;
        if ((state == kQueued || state == kRunning) && held.pid > 0 &&
            ProcessStart(static_cast<uint32_t>(held.pid)) == held.start) {
            kill(static_cast<pid_t>(held.pid), kStopRunSignal);
            ++asked;
            LogRun(server.store, it->first,
                   "Host " + server.host + " lost the lease of run " + std::to_string(it->first) +
                       " and stopped its worker.");
        }
        it = server.held.erase(it);
    }
    return asked;
}

namespace {

// The end of a lost run, guarded by what tells it lost: its worker process,
// or its lease. A row that says otherwise now gives no row back.
constexpr const char *kRequeueByProcess =
    "UPDATE runs SET state = 0, flags = (flags | ?) & ?, host = NULL, lease_ms = NULL, "
    "host_pid = NULL, host_start = NULL, started_ms = NULL "
    "WHERE id = ? AND state = 1 AND host_pid = ? AND host_start = ? RETURNING id";
constexpr const char *kRequeueByLease =
    "UPDATE runs SET state = 0, flags = (flags | ?) & ?, host = NULL, lease_ms = NULL, "
    "host_pid = NULL, host_start = NULL, started_ms = NULL "
    "WHERE id = ? AND state = 1 AND lease_ms < ? RETURNING id";
constexpr const char *kEndByProcess =
    "UPDATE runs SET state = 3, end_code = ?, ended_ms = ? "
    "WHERE id = ? AND state = 1 AND host_pid = ? AND host_start = ? RETURNING id";
constexpr const char *kEndByLease = "UPDATE runs SET state = 3, end_code = ?, ended_ms = ? "
                                    "WHERE id = ? AND state = 1 AND lease_ms < ? RETURNING id";

bool Changed(Store &store, const LostRun &lost, bool again) {
    const bool byLease = lost.leaseBefore.has_value();
    Statement change(store.Db(), again ? (byLease ? kRequeueByLease : kRequeueByProcess)
                                       : (byLease ? kEndByLease : kEndByProcess));
    if (again)
        change.Bind(1, int64_t{kRunResumes}).Bind(2, ~int64_t{kRunRefreshes});
    else
        change.Bind(1, int64_t{RDSTATUS_ENDCODE}).Bind(2, store.NowMs());
    change.Bind(3, lost.run);
    if (byLease)
        change.Bind(4, *lost.leaseBefore);
    else
        change.Bind(4, lost.pid).Bind(5, lost.start);
    return change.Step();
}

} // namespace

bool EndRunOfLostHost(Store &store, const LostRun &lost, const std::string &why) {
    const bool again = lost.claims >= 1 && lost.claims < kMaxClaims;
    if (!Changed(store, lost, again)) return false;
    std::string text = "Run " + std::to_string(lost.run) + " " + why;
    if (again)
        text += "; it is queued again and resumes after its last committed batch.";
    else if (lost.claims >= kMaxClaims)
        text +=
            "; it was claimed " + std::to_string(lost.claims) + " times and is not queued again.";
    else
        text += ".";
    LogRun(store, lost.run, text);
    return true;
}

int TakeOverExpiredRuns(ServerState &server) {
    struct Expired {
        int64_t run, claims;
        std::string host;
    };
    std::vector<Expired> expired;
    {
        Statement find(server.store.Db(),
                       "SELECT id, claims, host FROM runs WHERE state = 1 AND host IS NOT NULL "
                       "AND host <> ? AND lease_ms < ? ORDER BY id");
        find.Bind(1, server.host).Bind(2, server.store.NowMs());
        while (find.Step())
            expired.push_back({find.Int(0), find.Int(1), find.Text(2)});
    }
    if (expired.empty()) return 0;
    const int64_t now = server.store.NowMs();
    int changed = 0;
    Transaction transaction(server.store.Db());
    for (const Expired &run : expired) {
        const LostRun lost{run.run, run.claims, 0, 0, now};
        changed += EndRunOfLostHost(server.store, lost,
                                    "lost its host " + run.host + " (its lease ran out)")
                       ? 1
                       : 0;
    }
    transaction.Commit();
    return changed;
}

} // namespace rdcsm
