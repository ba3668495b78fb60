// SPDX-License-Identifier: Apache-2.0
// A running activity for the log and status tests: the system context with
// an activity entered by hand, and the log hooks replaced by recorders.
#pragma once

#include "../values/rdx_test_env.h"
#include "activity/log_hooks.h"
#include "activity/system_context.h"

#include <string>
#include <vector>

namespace rdxtest {

// Stands for a connection: the log reaches its name through the hook only.
struct FakeConnection {
    RDStream name;
    const ConnectionRecord *Record() const {
        return reinterpret_cast<const ConnectionRecord *>(this);
    }
};

struct SentEntry {
    uint32_t handle, message;
    std::string text;
};

class ActivityTest : public SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        sent().clear();
        rdx::g_logHooks = {Record, nullptr, NameOf};
        block_ = ActivityBlock{9, 0, {0, 0, 0}};
        rdx::ActivityState &activity = rdx::Context()->activity;
        activity.activityBlock = &block_;
        activity.activityNesting = 1;
        activity.activityMode = rdx::kModeAllocated;
    }
    void TearDown() override {
        rdx::LogStateRelease();
        rdx::Context()->activity = rdx::ActivityState{};
        rdx::g_logHooks = {};
        SystemTest::TearDown();
    }
    static std::vector<SentEntry> &sent() {
        static std::vector<SentEntry> entries;
        return entries;
    }
    static uint32_t Record(uint32_t handle, uint32_t message, const RDStream *text) {
        sent().push_back(
            {handle, message, std::string(reinterpret_cast<char *>(text->data), text->length)});
        return 0;
    }
    static const RDStream *NameOf(const ConnectionRecord *connection) {
        return &reinterpret_cast<const FakeConnection *>(connection)->name;
    }

    // The last entry's text.
    std::string LastText() {
        Stream text;
        RDActivityGetLogLast(&text, nullptr, nullptr);
        return text.Bytes();
    }

    ActivityBlock block_{};
};

} // namespace rdxtest
