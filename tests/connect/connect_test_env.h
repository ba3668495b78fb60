// SPDX-License-Identifier: Apache-2.0
// Connection tests: the system started in a temporary home, an activity
// entered by hand, test connectors copied into the home as NAME.rdx, their
// calls recorded (connectors/recorder.h) and the log's entries collected.
#pragma once

#include "../values/rdx_test_env.h"
#include "activity/activity_lifecycle.h"
#include "activity/log_hooks.h"
#include "activity/system_context.h"
#include "connect/connect_term.h"
#include "connectors/recorder.h"
#include "rdxapi.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace connecttest {

using rdxtest::Stream;

struct Logged {
    uint32_t message;
    std::string text;
};

class ConnectTest : public rdxtest::SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        *ConnectRecorder() = Recorder{};
        logged().clear();
        rdx::g_logHooks.send = Send;
        block_ = ActivityBlock{9, 0, {0, 0, 0}};
        rdx::ActivityState &activity = rdx::Context()->activity;
        activity.activityBlock = &block_;
        activity.activityNesting = 1;
        activity.activityMode = rdx::kModeAllocated;
    }
    void TearDown() override {
        EndActivity();
        SystemTest::TearDown();
    }
    // What the activity's end does for connections, logs and sets.
    static void EndActivity() {
        if (rdx::Context() == nullptr) return;
        rdx::Context()->activity.activityNesting = 0;
        rdx::ConnectTermAll();
        rdx::FreeScratchFields();
        rdx::LogStateRelease();
        rdx::ActivityState &activity = rdx::Context()->activity;
        rdx::PropertySetFree(activity.descriptionSet);
        activity = rdx::ActivityState{};
        rdx::g_logHooks = {};
    }

    static std::vector<Logged> &logged() {
        static std::vector<Logged> entries;
        return entries;
    }
    static uint32_t Send(uint32_t, uint32_t message, const RDStream *text) {
        logged().push_back(
            {message, text->data == nullptr
                          ? std::string()
                          : std::string(reinterpret_cast<char *>(text->data), text->length)});
        return 0;
    }
    static int LogCount(uint32_t message) {
        int n = 0;
        for (const Logged &entry : logged())
            n += entry.message == message ? 1 : 0;
        return n;
    }

    // Copies built connectors into the home directory.
    void Install(std::initializer_list<const char *> names) const {
        for (const char *name : names) {
            std::filesystem::copy_file(std::string(RDTEST_CONNECTOR_DIR) + name + ".rdx",
                                       home_.Path(std::string(name) + ".rdx"),
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }
    std::string Home(const std::string &name) const { return home_.Path(name); }

    // A connection through the connector of that name, given directly.
    static uint32_t Alloc(const std::string &link, uint32_t *handle,
                          uint32_t reference = RDLINK_DIRECT) {
        Stream name(link, RDCHARSET_DEFAULT);
        return RDConnectAlloc(handle, reference, &name);
    }
    static uint32_t Open(const std::string &link) {
        uint32_t handle = 0;
        EXPECT_EQ(0u, Alloc(link, &handle)) << link;
        return handle;
    }
    static uint32_t OpenConnected(const std::string &link) {
        const uint32_t handle = Open(link);
        EXPECT_EQ(0u, RDConnectConnect(handle));
        return handle;
    }

    static Recorder &Script() { return *ConnectRecorder(); }
    static std::vector<RecordedCall> Calls(uint32_t entry) {
        std::vector<RecordedCall> calls;
        const Recorder &r = *ConnectRecorder();
        for (uint32_t i = 0; i < r.callCount; ++i)
            if (r.calls[i].entry == entry) calls.push_back(r.calls[i]);
        return calls;
    }
    static uint32_t CallCount(uint32_t entry) { return rdx::Context()->connect.callCounts[entry]; }
    static uint32_t RecordCount(uint32_t entry) {
        return rdx::Context()->connect.recordCounts[entry];
    }
    static uint32_t LinksLoaded() {
        uint32_t n = 0;
        for (const LinkRecord *link = rdx::Context()->connect.linkChain; link; link = link->next)
            ++n;
        return n;
    }
    // True when a file of the home is mapped into the process.
    bool Mapped(const std::string &name) const {
        std::ifstream maps("/proc/self/maps");
        const std::string path = std::filesystem::weakly_canonical(Home(name)).string();
        for (std::string line; std::getline(maps, line);)
            if (line.find(path) != std::string::npos) return true;
        return false;
    }
    static std::string Text(const RDStream &s) {
        return s.data == nullptr ? std::string()
                                 : std::string(reinterpret_cast<const char *>(s.data), s.length);
    }

    ActivityBlock block_{};
};

// A field list of records records with one Int field.
struct List {
    uint32_t handle = 0;
    explicit List(uint32_t records) {
        EXPECT_EQ(0u, RDFieldlistAlloc(&handle, records, 0));
        Stream name("n", RDCHARSET_DEFAULT);
        uint32_t field = 0;
        EXPECT_EQ(0u, RDFieldlistAppend(handle, &name, RDTYPE_INT, &field));
    }
    ~List() { RDFieldlistFree(handle); }
};

} // namespace connecttest
