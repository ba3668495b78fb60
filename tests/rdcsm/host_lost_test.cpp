// SPDX-License-Identifier: Apache-2.0
// Runs whose host died: the host recorded when it takes a run, its life read
// from /proc (a reused process id is not the host), lost runs recorded as
// such while rdcsm serves and when it starts again, and older databases
// given the host's columns.
#include "rdcsm_test_env.h"
#include "test_store.h"

#include "host_watch.h"

#include <chrono>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rdcsmtest {
namespace {

using rdcsm::ProcessStart;

// A process that has ended: reaped unless keepZombie.
pid_t EndedProcess(bool keepZombie) {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    if (!keepZombie) {
        waitpid(child, nullptr, 0);
        return child;
    }
    // Until its parent takes its status it stays a zombie in /proc.
    for (int i = 0; i < 500; ++i, usleep(2000)) {
        const std::string stat = rdtest::ReadFile("/proc/" + std::to_string(child) + "/stat");
        if (stat.find(") Z ") != std::string::npos) break;
    }
    return child;
}

// Adds a run in state with the host's columns (a null pid: none recorded).
int64_t AddRun(rdcsm::Store &store, int64_t state, std::optional<int64_t> pid, int64_t start) {
    rdcsm::Statement add(store.Db(), "INSERT INTO runs(activity, state, queued_ms, host_pid, "
                                     "host_start) VALUES(1, ?, 0, ?, ?)");
    add.Bind(1, state).Bind(2, pid.value_or(0)).Bind(3, start).Run();
    const int64_t run = sqlite3_last_insert_rowid(store.Db().Handle());
    if (!pid) {
        rdcsm::Statement clear(store.Db(), "UPDATE runs SET host_pid = NULL WHERE id = ?");
        clear.Bind(1, run).Run();
    }
    return run;
}

int64_t StateOf(rdcsm::Store &store, int64_t run) {
    rdcsm::Statement state(store.Db(), "SELECT state FROM runs WHERE id = ?");
    state.Bind(1, run);
    return state.Step() ? state.Int(0) : -1;
}

TEST(HostLife, AProcessIsKnownByItsIdAndStartTimeUntilItEnds) {
    auto own = ProcessStart(getpid());
    ASSERT_TRUE(own);
    EXPECT_GT(*own, 0);
    EXPECT_EQ(own, ProcessStart(getpid()));
    EXPECT_NE(own, ProcessStart(1)); // another process, started before this one
    EXPECT_FALSE(ProcessStart(0));
    EXPECT_FALSE(ProcessStart(EndedProcess(false)));
    const pid_t zombie = EndedProcess(true);
    EXPECT_FALSE(ProcessStart(zombie));
    waitpid(zombie, nullptr, 0);
}

class HostStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rdcsm::DbError error;
        ASSERT_TRUE(store_.Open(home_.Path("rdcsm.db"), error)) << error.message;
    }
    rdtest::TempHome home_;
    rdcsm::Store store_;
};

TEST_F(HostStoreTest, ASweepEndsTheRunsOfHostsThatAreGoneAndNoOthers) {
    SKIP_ON_PG_STORE();
    const int64_t start = *ProcessStart(getpid());
    const int64_t live = AddRun(store_, rdcsm::kRunning, getpid(), start);
    const int64_t reused = AddRun(store_, rdcsm::kRunning, getpid(), start + 1);
    const int64_t dead = AddRun(store_, rdcsm::kRunning, EndedProcess(false), 5);
    const pid_t zombie = EndedProcess(true);
    const int64_t unreaped = AddRun(store_, rdcsm::kRunning, zombie, 5);
    const int64_t unknown = AddRun(store_, rdcsm::kRunning, std::nullopt, 0);
    const int64_t queued = AddRun(store_, rdcsm::kQueued, std::nullopt, 0);
    const int64_t ended = AddRun(store_, rdcsm::kEnded, EndedProcess(false), 5);
    EXPECT_EQ(3, rdcsm::SweepLostHosts(store_));
    waitpid(zombie, nullptr, 0);
    EXPECT_EQ(rdcsm::kRunning, StateOf(store_, live));
    EXPECT_EQ(rdcsm::kHostLost, StateOf(store_, reused));
    EXPECT_EQ(rdcsm::kHostLost, StateOf(store_, dead));
    EXPECT_EQ(rdcsm::kHostLost, StateOf(store_, unreaped));
    EXPECT_EQ(rdcsm::kRunning, StateOf(store_, unknown));
    EXPECT_EQ(rdcsm::kQueued, StateOf(store_, queued));
    EXPECT_EQ(rdcsm::kEnded, StateOf(store_, ended));
    rdcsm::Statement lost(store_.Db(), "SELECT end_code, ended_ms > 0 FROM runs WHERE id = ?");
    lost.Bind(1, dead);
    ASSERT_TRUE(lost.Step());
    EXPECT_EQ(RDSTATUS_ENDCODE, lost.Int(0));
    EXPECT_EQ(1, lost.Int(1));
    EXPECT_EQ(0, rdcsm::SweepLostHosts(store_));
}

TEST(HostStoreMigration, AnOlderDatabaseGainsTheHostColumnsAndKeepsItsRuns) {
    rdtest::TempHome home;
    const std::string path = home.Path("old.db");
    sqlite3 *db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
    ASSERT_EQ(SQLITE_OK,
              sqlite3_exec(db,
                           "CREATE TABLE runs(id INTEGER PRIMARY KEY, activity INTEGER NOT NULL, "
                           "waiter INTEGER NOT NULL DEFAULT 0, state INTEGER NOT NULL DEFAULT 0, "
                           "end_code INTEGER, queued_ms INTEGER NOT NULL, started_ms INTEGER, "
                           "ended_ms INTEGER);"
                           "INSERT INTO runs(activity, state, queued_ms) VALUES(1, 1, 7);",
                           nullptr, nullptr, nullptr));
    sqlite3_close(db);
    for (int opening = 0; opening < 2; ++opening) {
        rdcsm::Store store;
        rdcsm::DbError error;
        ASSERT_TRUE(store.Open(path, error)) << error.message;
        rdcsm::Statement run(store.Db(),
                             "SELECT state, queued_ms, host_pid IS NULL, host_start IS NULL "
                             "FROM runs WHERE id = 1");
        ASSERT_TRUE(run.Step());
        EXPECT_EQ(1, run.Int(0));
        EXPECT_EQ(7, run.Int(1));
        EXPECT_EQ(1, run.Int(2));
        EXPECT_EQ(1, run.Int(3));
        // Its host is unknown: the run is not taken for lost.
        run.Reset();
        EXPECT_EQ(0, rdcsm::SweepLostHosts(store));
    }
}

// rdcsm serving from a thread of this program: the host is this process.
class HostServerTest : public ServerTest {
  protected:
    // Waits (about 10 s at most) until the run has the state.
    bool WaitForState(int64_t run, int64_t state) {
        for (int i = 0; i < 1000; ++i, usleep(10000)) {
            std::lock_guard guard(state_->lock);
            if (StateOf(state_->store, run) == state) return true;
        }
        return false;
    }
    int64_t AddRunOf(std::optional<int64_t> pid, int64_t start) {
        std::lock_guard guard(state_->lock);
        return AddRun(state_->store, rdcsm::kRunning, pid, start);
    }
};

TEST_F(HostServerTest, TheHostThatTakesARunIsRecordedAndCanStillEndItOnceTakenForLost) {
    SKIP_ON_PG_STORE();
    Define(rdcsm::kActivity, "job", {IntItem(1, 1)});
    ASSERT_EQ(0u, CSMgrRunActivity(0, &Stream("job", 256)));
    NextActivityRecord next{};
    ASSERT_EQ(0u, CSMgrNextActivity(&next));
    {
        std::lock_guard guard(state_->lock);
        rdcsm::Statement run(state_->store.Db(), "SELECT host_pid, host_start FROM runs");
        ASSERT_TRUE(run.Step());
        EXPECT_EQ(getpid(), run.Int(0));
        EXPECT_EQ(*ProcessStart(getpid()), run.Int(1));
        // Taken for lost (as by a sweep that was wrong): the host's own end wins.
        rdcsm::Statement lose(state_->store.Db(), "UPDATE runs SET state = 3");
        lose.Run();
    }
    EXPECT_EQ(0u, CSMgrDoneActivity(next.handle, 0));
    std::lock_guard guard(state_->lock);
    EXPECT_EQ(rdcsm::kEnded, StateOf(state_->store, next.handle - rdcsm::kRunBase));
}

TEST_F(HostServerTest, LostHostsAreFoundWhileServingAndAtTheNextStart) {
    SKIP_ON_PG_STORE();
    // An answer means the sweep at the start is over: what follows is
    // found by a later one.
    ASSERT_EQ(0u, CSMgrServerState(1));
    const int64_t start = *ProcessStart(getpid());
    const int64_t live = AddRunOf(getpid(), start);
    const int64_t dead = AddRunOf(EndedProcess(false), 5);
    EXPECT_TRUE(WaitForState(dead, rdcsm::kHostLost));
    StopServer();
    // Died while no server manager served: found before the first request.
    {
        rdcsm::Store store;
        rdcsm::DbError error;
        ASSERT_TRUE(store.Open(DbPath(), error)) << error.message;
        AddRun(store, rdcsm::kRunning, EndedProcess(false), 5);
    }
    StartServer();
    ASSERT_EQ(0u, CSMgrServerState(1));
    std::lock_guard guard(state_->lock);
    EXPECT_EQ(rdcsm::kHostLost, StateOf(state_->store, dead + 1));
    EXPECT_EQ(rdcsm::kRunning, StateOf(state_->store, live));
}

} // namespace
} // namespace rdcsmtest
