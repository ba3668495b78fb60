// SPDX-License-Identifier: Apache-2.0
// Leases between two server managers (hosts "a" and "b") on one store: a
// claim holds a run for its lease, another host takes over a run whose
// lease ran out (queued again to resume, or lost after its last claim), the
// host that lost it stops its worker, and a dead
// worker's run is queued again by its own host.
#include "rdcsm_test_env.h"
#include "test_store.h"

#include "host_watch.h"
#include "lease.h"

#include "rdx_status.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace rdcsmtest {
namespace {

// A worker stand-in: a child that ends with status 7 on SIGUSR1 (a stop
// of its run) and otherwise waits to be killed.
pid_t Worker() {
    // SIGUSR1 is held back until the child has its handler.
    sigset_t stop, old;
    sigemptyset(&stop);
    sigaddset(&stop, SIGUSR1);
    sigprocmask(SIG_BLOCK, &stop, &old);
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGUSR1, [](int) { _exit(7); });
        sigprocmask(SIG_UNBLOCK, &stop, nullptr);
        for (;;)
            pause();
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return child;
}

class LeaseTest : public rdxtest::SystemTest {
  protected:
    void SetUp() override {
        const rdcsm::StoreUri uri = TestStore(home_.Path("leases.db"));
        for (const auto &[state, name] : {std::pair{&a_, "a"}, std::pair{&b_, "b"}}) {
            rdcsm::DbError error;
            ASSERT_TRUE(state->store.Open(uri, error)) << error.message;
            state->host = name;
            state->leaseMs = 1000;
        }
        activity_ = a_.store.DefineObject(rdcsm::kActivity, "load", "");
    }
    void TearDown() override {
        for (pid_t worker : workers_) {
            kill(worker, SIGKILL);
            waitpid(worker, nullptr, 0);
        }
    }

    int64_t Queue() {
        rdcsm::Statement queue(a_.store.Db(), "INSERT INTO runs(activity, queued_ms) "
                                              "VALUES(?, ?) RETURNING id");
        return queue.Bind(1, activity_).Bind(2, a_.store.NowMs()).Returned();
    }
    std::optional<rdcsm::Claim> Claim(rdcsm::ServerState &host, pid_t worker) {
        rdcsm::Transaction transaction(host.store.Db());
        auto claim = rdcsm::ClaimNextRun(host, static_cast<uint32_t>(worker));
        transaction.Commit();
        return claim;
    }
    pid_t NewWorker() { return workers_.emplace_back(Worker()); }
    // state|host|claims|flags of the run.
    std::string Row(int64_t run) {
        rdcsm::Statement row(a_.store.Db(), "SELECT state, host, claims, flags FROM runs "
                                            "WHERE id = ?");
        row.Bind(1, run);
        if (!row.Step()) return "none";
        return std::to_string(row.Int(0)) + "|" + (row.IsNull(1) ? "-" : row.Text(1)) + "|" +
               std::to_string(row.Int(2)) + "|" + std::to_string(row.Int(3));
    }
    std::string Log() {
        std::string all;
        rdcsm::Statement log(a_.store.Db(), "SELECT text FROM log ORDER BY id");
        while (log.Step())
            all += log.Text(0) + "\n";
        return all;
    }
    // Moves b's clock past every lease a gave.
    void PastTheLease() { b_.store.MoveClock(a_.leaseMs + 1); }

    rdcsm::ServerState a_, b_;
    int64_t activity_ = 0;
    std::vector<pid_t> workers_;
};

TEST_F(LeaseTest, ARunWhoseLeaseRanOutIsTakenOverAndItsFormerHostStops) {
    const int64_t run = Queue();
    const pid_t worker = NewWorker();
    ASSERT_TRUE(Claim(a_, worker));
    EXPECT_EQ("1|a|1|0", Row(run));
    // Held and renewed: nobody takes it.
    rdcsm::RenewLeases(a_);
    EXPECT_EQ(0, rdcsm::TakeOverExpiredRuns(b_));
    EXPECT_FALSE(Claim(b_, NewWorker()));
    PastTheLease();
    EXPECT_EQ(1, rdcsm::TakeOverExpiredRuns(b_));
    EXPECT_EQ(0, rdcsm::TakeOverExpiredRuns(b_)); // once
    EXPECT_EQ("0|-|1|1", Row(run));               // queued again, to resume
    EXPECT_NE(std::string::npos,
              Log().find("Run " + std::to_string(run) +
                         " lost its host a (its lease ran out); it is queued again and resumes "
                         "after its last committed batch."))
        << Log();
    // a finds the run gone and stops its worker's run.
    EXPECT_EQ(1, rdcsm::StopRunsNoLongerHeld(a_));
    EXPECT_EQ(7, rdtest::WaitExit(worker));
    EXPECT_TRUE(a_.held.empty());
    // b claims it again, to resume it.
    auto again = Claim(b_, NewWorker());
    ASSERT_TRUE(again);
    EXPECT_EQ(rdcsm::kRunResumes, again->flags);
    EXPECT_EQ("1|b|2|1", Row(run));
}

TEST_F(LeaseTest, ADeadWorkersRunIsQueuedAgainUntilItsLastClaimThenLost) {
    const int64_t run = Queue();
    for (int64_t claim = 1; claim <= rdcsm::kMaxClaims; ++claim) {
        const pid_t worker = NewWorker();
        ASSERT_TRUE(Claim(claim % 2 != 0 ? a_ : b_, worker)) << claim;
        kill(worker, SIGKILL);
        waitpid(worker, nullptr, 0);
        EXPECT_EQ(1, rdcsm::SweepLostHosts(a_.store, claim % 2 != 0 ? "a" : "b"));
        // The dead worker's host forgets the run without a stop to tell.
        EXPECT_EQ(0, rdcsm::StopRunsNoLongerHeld(claim % 2 != 0 ? a_ : b_));
    }
    EXPECT_TRUE(a_.held.empty() && b_.held.empty());
    EXPECT_EQ(std::string::npos, Log().find("lost the lease")) << Log();
    // Its fifth worker died too: lost, and not queued again.
    EXPECT_EQ("3|a|" + std::to_string(rdcsm::kMaxClaims) + "|1", Row(run));
    EXPECT_NE(std::string::npos, Log().find("lost its worker (process ")) << Log();
    EXPECT_NE(std::string::npos, Log().find("; it was claimed 5 times and is not queued again."))
        << Log();
}

TEST_F(LeaseTest, ADirectRunIsNeverQueuedAgainAndOtherHostsWorkersAreNotLooked) {
    rdcsm::Statement direct(a_.store.Db(), "INSERT INTO runs(activity, state, queued_ms) "
                                           "VALUES(?, 1, 0) RETURNING id");
    const int64_t run = direct.Bind(1, activity_).Returned();
    const pid_t worker = NewWorker();
    rdcsm::HoldDirectRun(a_, run, static_cast<uint32_t>(worker));
    rdcsm::RecordHost(a_.store, run, static_cast<uint32_t>(worker));
    // b cannot see a's processes: a's run is not b's to sweep.
    kill(worker, SIGKILL);
    waitpid(worker, nullptr, 0);
    EXPECT_EQ(0, rdcsm::SweepLostHosts(b_.store, "b"));
    PastTheLease();
    EXPECT_EQ(1, rdcsm::TakeOverExpiredRuns(b_));
    EXPECT_EQ("3|a|0|0", Row(run));
}

} // namespace
} // namespace rdcsmtest
