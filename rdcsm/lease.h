// SPDX-License-Identifier: Apache-2.0
// Runs held by leases, so that several server managers (hosts) can share one
// store. A host claims a queued run for one of its workers and holds it for
// a lease that it renews while the worker lives; a run whose lease ran out
// (its host died, lost the store or was stopped hard) is queued again by
// another host and resumed there. A host whose run was taken from it stops
// its worker's run at once.
#pragma once

#include "requests.h"

#include <csignal>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rdcsm {

// A run is claimed at most this often; a run whose host dies at its last
// claim ends as lost instead of being queued again (a run that kills its
// worker every time would go round for ever).
inline constexpr int64_t kMaxClaims = 5;

// The signal that asks a worker to stop the run it holds and serve on.
inline constexpr int kStopRunSignal = SIGUSR1;

// The machine's host name: the name a server manager goes by among the
// hosts of a store unless it is given one.
std::string MachineName();

// A queued run claimed by a host.
struct Claim {
    int64_t run = 0, activity = 0, waiter = 0, flags = 0;
    std::string name;
};

// Claims the oldest queued run for this host's worker pid: the run becomes
// running, held by the host until now + the lease. Other hosts claiming at
// the same time pass over it (row locks with SKIP LOCKED where the store
// has them; the server's lock serialises a SQLite store). Runs in the
// caller's transaction.
std::optional<Claim> ClaimNextRun(ServerState &server, uint32_t pid);

// Marks a direct run (started by its own process) as held by this host.
void HoldDirectRun(ServerState &server, int64_t run, uint32_t pid);

// The runs this host held when it last served (its workers may live on):
// held again, so that their leases are renewed and a take-over stops them.
void LoadHeldRuns(ServerState &server);

// Renews the leases of the runs this host holds.
void RenewLeases(ServerState &server);

// Stops the local workers of runs that this host handed out but that are no
// longer its own (taken over, or ended elsewhere); returns how many were
// asked. Forgets runs that ended.
int StopRunsNoLongerHeld(ServerState &server);

// Queues again (to resume) every running run of another host whose lease
// ran out, or ends it as lost when it was a direct run or had its last
// claim; returns how many.
int TakeOverExpiredRuns(ServerState &server);

// A running run whose host is gone, and what tells that it is: its worker
// process (id and start time) is no longer there, or its lease ran out
// before now_ms.
struct LostRun {
    int64_t run = 0, claims = 0;
    int64_t pid = 0, start = 0;         // by the worker process
    std::optional<int64_t> leaseBefore; // by the lease
};

// Ends a run whose host is gone, unless the row no longer says what lost
// tells (another host took it first): queued again to resume when it came
// from the queue and has claims left, else recorded as lost. Logged with
// why. True when the run was changed.
bool EndRunOfLostHost(Store &store, const LostRun &lost, const std::string &why);

} // namespace rdcsm
