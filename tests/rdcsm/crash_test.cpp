// SPDX-License-Identifier: Apache-2.0
// A server manager killed with SIGKILL in the middle of a stream of
// requests: the restarted program answers with everything that was
// acknowledged, and the database is intact.
#include "rdcsm_test_env.h"
#include "test_store.h"

#include "csmgr/server.h"
#include "rdplat_ini.h"
#include "rdplat_ipc.h"
#include "rdx_status.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace rdcsmtest {
namespace {

using CrashTest = ProgramTest;

int64_t Count(rdcsm::Store &store, const char *sql) {
    rdcsm::Statement count(store.Db(), sql);
    return count.Step() ? count.Int(0) : -1;
}

TEST_F(CrashTest, KillInTheMiddleOfAStreamLosesNothingAcknowledged) {
    SKIP_ON_PG_STORE();
    {
        rdcsm::Store store;
        rdcsm::DbError error;
        ASSERT_TRUE(store.Open(home_.Path("rdcsm.db"), error)) << error.message;
        store.DefineObject(rdcsm::kActivity, "load", rdcsm::PackItems({IntItem(1, 1)}));
    }
    ASSERT_TRUE(StartProgram());
    ASSERT_EQ(0u, CSMgrInit(nullptr));
    uint32_t handle = 0;
    ASSERT_EQ(0u, CSMgrOpenActivity(&handle, &Stream("load", 256), 1));

    constexpr int kWriters = 3;
    std::atomic<int> acknowledged{0}, attempted{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            for (uint32_t i = 0; !stop; ++i) {
                ++attempted;
                Stream text("writer " + std::to_string(w) + " entry " + std::to_string(i), 256);
                const uint32_t status = i % 2 == 0 ? CSMgrLog(handle, i, &text)
                                                   : CSMgrRunActivity(handle, &Stream("load", 256));
                if (status == 0)
                    ++acknowledged;
                else
                    return; // the server is gone
            }
        });
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (acknowledged < 300 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GE(acknowledged.load(), 300);
    ASSERT_EQ(0, kill(child_, SIGKILL));
    waitpid(child_, nullptr, 0);
    child_ = -1;
    stop = true;
    for (std::thread &writer : writers)
        writer.join();

    {
        rdcsm::Store store;
        rdcsm::DbError error;
        ASSERT_TRUE(store.Open(home_.Path("rdcsm.db"), error)) << error.message;
        rdcsm::Statement check(store.Db(), "PRAGMA integrity_check");
        ASSERT_TRUE(check.Step());
        EXPECT_EQ("ok", check.Text(0));
        const int64_t stored =
            Count(store, "SELECT count(*) FROM log") + Count(store, "SELECT count(*) FROM runs");
        EXPECT_GE(stored, acknowledged.load());
        EXPECT_LE(stored, attempted.load());
    }
    // The restarted server answers with what was committed.
    ASSERT_TRUE(StartProgram());
    Set description;
    ASSERT_EQ(0u, CSMgrGetDescription(handle, description.set));
    EXPECT_EQ(1, rdx::PropertySetReadInt(description.set, 1));
    NextActivityRecord next{};
    EXPECT_EQ(0u, CSMgrNextActivity(&next));
    EXPECT_EQ(0, StopProgram());
}

// With kit type 1 the client starts rdcsm from the home directory without
// arguments, and its detach shuts it down again.
TEST_F(CrashTest, KitTypeOneStartsAndStopsThePrivateServerManager) {
    ASSERT_EQ(0, rdtest::Shell(std::string("cp '") + RDCSM_PROGRAM + "' '" + home_.Dir() + "'"));
    ASSERT_EQ(0u, RDINISetString("Configuration", "KitType", "1", "quarry.ini"));
    rdx::csmgr::SetStartupSeconds(1);
    ASSERT_EQ(0u, CSMgrInit(nullptr));
    uint32_t handle = 7;
    EXPECT_EQ(RDSTATUS_CSMNONAME, CSMgrOpenActivity(&handle, &Stream("none", 256), 1));
    EXPECT_EQ(0u, CSMgrTerm());
    rdx::csmgr::SetStartupSeconds(rdx::csmgr::kStartupSeconds);
    EXPECT_TRUE(rdtest::FileExists(home_.Path("rdcsm.db")));
    bool gone = false;
    for (int i = 0; i < 300 && !gone; ++i) {
        gone = RDIPCExists("RDCSMP", 0) == 0;
        usleep(10000);
    }
    EXPECT_TRUE(gone);
}

} // namespace
} // namespace rdcsmtest
