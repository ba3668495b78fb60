// SPDX-License-Identifier: Apache-2.0
// The client's waits: a server manager that takes a request and never
// answers, one that is gone, and where the waits are configured.
#include "csmgr_test_env.h"

#include "rdplat_ini.h"

#include <chrono>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace csmgrtest {
namespace {

using Clock = std::chrono::steady_clock;
using rdx::csmgr::AnswerMs;
using rdx::csmgr::PipeSeconds;
using rdx::csmgr::SetAnswerMs;
using rdx::csmgr::SetPipeSeconds;

class WaitTest : public CSMgrTest {
  protected:
    void TearDown() override {
        SetAnswerMs(rdx::csmgr::kAnswerMs);
        CSMgrTest::TearDown();
    }
    // Seconds taken by call, whose status must be expected.
    template <typename Call> static double Timed(uint32_t expected, Call call) {
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(expected, call());
        return std::chrono::duration<double>(Clock::now() - start).count();
    }
    // Script for the two requests of CSMgrInit.
    static void ScriptAttach(CSMgrPeer &peer) {
        peer.Script(Reply::Answer(0));
        peer.Script(AnswerWith(654, {}));
    }
};

TEST_F(WaitTest, AServerManagerThatNeverAnswersGives783WithinTheAnswersWait) {
    CSMgrPeer peer;
    SetAnswerMs(300);
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&field, RDTYPE_TEXT, 1));
    Stream name("memo", 256);
    const std::pair<const char *, std::function<uint32_t()>> requests[] = {
        {"fixed", [] { return CSMgrServerState(1); }},
        {"growable", [&] { return CSMgrGetField(1, &name, field); }},
    };
    for (const auto &[what, call] : requests) {
        peer.Script(Reply::Silent());
        const double waited = Timed(783, call);
        EXPECT_GE(waited, 0.25) << what;
        EXPECT_LT(waited, 1.3) << what;
    }
    // The next request is answered as usual.
    EXPECT_EQ(0u, CSMgrServerState(1));
    EXPECT_EQ(0u, RDFieldFree(field));
}

TEST_F(WaitTest, ALostServerManagerIsWaitedForOnceThenFailsAtOnce) {
    SetPipeSeconds(2);
    std::optional<CSMgrPeer> peer(std::in_place);
    EXPECT_EQ(0u, CSMgrServerState(1));
    peer.reset();
    // The socket file of a server manager that died: nobody listens on it.
    const std::string path = std::string(getenv("RD_PIPE_DIR")) + "/RDCSMP";
    const int dead = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(0, bind(dead, reinterpret_cast<sockaddr *>(&address), sizeof address));
    EXPECT_GE(Timed(782, [] { return CSMgrServerState(1); }), 1.9);
    EXPECT_LT(Timed(782, [] { return CSMgrServerState(1); }), 0.5);
    Stream text("x", 256);
    EXPECT_LT(Timed(782, [&] { return CSMgrLog(1, 1, &text); }), 0.5);
    close(dead);
    unlink(path.c_str());
    // A server manager that is back is reached, and waited for again later.
    peer.emplace();
    EXPECT_EQ(0u, CSMgrServerState(1));
    peer.reset();
    EXPECT_GE(Timed(782, [] { return CSMgrServerState(1); }), 1.9);
}

TEST_F(WaitTest, WaitsComeFromTheEnvironmentBeforeQuarryIni) {
    CSMgrPeer peer;
    ASSERT_EQ(0u, RDINISetString("Configuration", "AnswerTimeout", "7", "quarry.ini"));
    ASSERT_EQ(0u, RDINISetString("Configuration", "PipeWait", "4", "quarry.ini"));
    ScriptAttach(peer);
    ASSERT_EQ(0u, CSMgrInit(nullptr));
    EXPECT_EQ(7000u, AnswerMs());
    EXPECT_EQ(4u, PipeSeconds());
    {
        rdxtest::ScopedEnv timeout("RD_CSMGR_TIMEOUT", "3");
        rdxtest::ScopedEnv wait("RD_CSMGR_PIPE_WAIT", "0");
        ScriptAttach(peer);
        ASSERT_EQ(0u, CSMgrInit(nullptr));
        EXPECT_EQ(3000u, AnswerMs());
        EXPECT_EQ(0u, PipeSeconds());
    }
    // What is not a whole number of seconds in range changes nothing.
    for (const char *bad : {"0", "3601", "2s", "-1", ""}) {
        SetAnswerMs(rdx::csmgr::kAnswerMs);
        ASSERT_EQ(0u, RDINISetString("Configuration", "AnswerTimeout", bad, "quarry.ini"));
        ScriptAttach(peer);
        ASSERT_EQ(0u, CSMgrInit(nullptr));
        EXPECT_EQ(rdx::csmgr::kAnswerMs, AnswerMs()) << bad;
    }
}

} // namespace
} // namespace csmgrtest
