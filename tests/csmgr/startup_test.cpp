// SPDX-License-Identifier: Apache-2.0
// The kit type and the life of a private server manager: CSMgrStartup with a
// stand-in program in the home directory, and the attach and detach around it.
#include "csmgr_test_env.h"

#include "rdxapi.h"

#include <chrono>
#include <sys/stat.h>
#include <thread>

namespace csmgrtest {
namespace {

class StartupTest : public CSMgrTest {
  protected:
    void SetUp() override {
        CSMgrTest::SetUp();
        // The stand-in server manager only leaves a mark that it ran.
        const std::string program = home_.Path("rdcsm");
        rdtest::WriteFile(program, "#!/bin/sh\necho started > '" + Marker() + "'\n");
        chmod(program.c_str(), 0755);
    }
    std::string Marker() { return home_.Path("started"); }
    // Serves the pipe once the stand-in has run (as the real program would).
    void ServeWhenStarted(CSMgrPeer &peer) {
        waiter_ = std::thread([this, &peer] {
            for (int i = 0; i < 500 && !rdtest::FileExists(Marker()); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (rdtest::FileExists(Marker())) peer.Listen();
        });
    }
    void TearDown() override {
        if (waiter_.joinable()) waiter_.join();
        CSMgrTest::TearDown();
    }
    std::thread waiter_;
};

std::vector<uint32_t> Codes(const std::vector<std::string> &requests) {
    std::vector<uint32_t> codes;
    for (const std::string &r : requests)
        codes.push_back(WordAt(r, 0));
    return codes;
}

TEST_F(StartupTest, KitTypeMustBePresentAndNonZero) {
    for (const char *kit : {"", "0", "x"}) {
        if (*kit == '\0')
            ASSERT_EQ(0u, RDINIRemoveString("Configuration", "KitType", "quarry.ini"));
        else
            SetKitType(kit);
        EXPECT_EQ(534u, CSMgrStartup()) << kit;
        EXPECT_EQ(534u, CSMgrInit(nullptr)) << kit;
    }
    EXPECT_FALSE(rdtest::FileExists(Marker()));
}

TEST_F(StartupTest, PrivateServerManagerIsStartedAndShutDown) {
    SetKitType("1");
    CSMgrPeer peer(false);
    ServeWhenStarted(peer);
    peer.Script(Reply::Answer(0));
    const RDIntlFormat intl = *RDPlatGetIntlFormat();
    peer.Script(AnswerWith(
        654, {{44, Word(2)}, {568, std::string(reinterpret_cast<const char *>(&intl), 86)}}));
    ASSERT_EQ(0u, CSMgrInit(nullptr));
    EXPECT_TRUE(rdtest::FileExists(Marker()));
    EXPECT_EQ(0u, CSMgrTerm());
    EXPECT_EQ((std::vector<uint32_t>{2, 3, 4, 0}), Codes(peer.Requests()));
}

TEST_F(StartupTest, RunningServerManagerIsSharedAndLeftRunning) {
    SetKitType("1");
    CSMgrPeer peer;
    EXPECT_EQ(825u, CSMgrInit(nullptr));
    EXPECT_EQ(0u, peer.Count());
    EXPECT_EQ(0u, CSMgrTerm());
    EXPECT_EQ((std::vector<uint32_t>{4}), Codes(peer.Requests()));
    // Once the shared detach has been made, a private detach shuts down again.
    EXPECT_EQ(0u, CSMgrTerm());
    EXPECT_EQ((std::vector<uint32_t>{4, 4, 0}), Codes(peer.Requests()));
    EXPECT_FALSE(rdtest::FileExists(Marker()));
}

TEST_F(StartupTest, OtherKitTypesOnlyAttach) {
    // Without a server manager CSMgrInit does not start one.
    EXPECT_EQ(782u, CSMgrInit(nullptr));
    EXPECT_FALSE(rdtest::FileExists(Marker()));
    // CSMgrStartup starts the program, which here never opens the pipe.
    EXPECT_EQ(782u, CSMgrStartup());
    EXPECT_TRUE(rdtest::FileExists(Marker()));
    // With a server manager running there is nothing to start.
    CSMgrPeer peer;
    EXPECT_EQ(0u, CSMgrStartup());
    EXPECT_EQ(0u, CSMgrTerm());
    EXPECT_EQ((std::vector<uint32_t>{4}), Codes(peer.Requests()));
}

TEST_F(StartupTest, MissingConfigurationFileIsReported) {
    ASSERT_EQ(0, std::remove(home_.Path("quarry.ini").c_str()));
    EXPECT_EQ(535u, CSMgrStartup());
}

} // namespace
} // namespace csmgrtest

namespace csmgrtest {
namespace {

// A home directory whose program path is too long to start gives 516.
TEST_F(StartupTest, ProgramPathThatDoesNotFitIsNotStarted) {
    std::string dir = home_.Dir();
    while (dir.size() < 100)
        dir += std::string(40, 'd') + "/";
    ASSERT_EQ(0, rdtest::Shell("mkdir -p '" + dir + "'"));
    rdtest::WriteFile(dir + "quarry.ini", "[Configuration]\nDirectory=" + dir + "\nKitType=2\n");
    rdtest::WriteFile(dir + "rdcsm", "#!/bin/sh\necho started > '" + Marker() + "'\n");
    chmod((dir + "rdcsm").c_str(), 0755);
    rdtest::WriteFile(dir + "program", "");
    RDSystemTerm();
    RDPlatTerm();
    ASSERT_EQ(0u, RDPlatInit((dir + "program").c_str()));
    ASSERT_EQ(0u, RDSystemInit());
    ASSERT_EQ(dir, RDFileExeDir());
    EXPECT_EQ(516u, CSMgrStartup());
    EXPECT_FALSE(rdtest::FileExists(Marker()));
}

} // namespace
} // namespace csmgrtest
