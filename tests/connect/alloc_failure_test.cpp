// SPDX-License-Identifier: Apache-2.0
// RDConnectAlloc through every allocation it makes, on a first load of the
// link and on a loaded one: each failure leaves no connection, no loaded
// library and no link number used, and a later attempt succeeds.
#include "connect_test_env.h"

namespace connecttest {
namespace {

TEST_F(ConnectTest, AllocSurvivesEveryAllocationFailure) {
    Install({"linka"});
    PropertySet *&set = rdx::Context()->activity.descriptionSet;
    ASSERT_EQ(0u, rdx::PropertySetCreate(&set));
    Stream server("host", RDCHARSET_DEFAULT), name("linka", RDCHARSET_DEFAULT);
    ASSERT_EQ(0u, rdx::PropertySetAdd(set, 0x10001, RDTYPE_TEXT, &server));
    uint32_t handle = 0;
    const auto attempt = [&] { return RDConnectAlloc(&handle, RDLINK_DIRECT, &name); };
    const auto failed = [&](uint32_t status) {
        EXPECT_NE(0u, status);
        EXPECT_EQ(0u, handle);
        // Whatever was made is gone again: no connection in any slot.
        for (const ConnectionRecord *head : rdx::Context()->connect.connectionSlots)
            EXPECT_EQ(nullptr, head);
    };
    const int firstLoad = rdtest::ForEachAllocationFailure(attempt, failed);
    EXPECT_GT(firstLoad, 3);
    EXPECT_EQ(0x10000u, rdx::Context()->connect.linkChain->linkCode & 0xFFFF0000u);
    EXPECT_EQ(1u, LinksLoaded());
    // Through the loaded link: the earlier connection stays untouched.
    const uint32_t first = handle;
    const auto again = [&](uint32_t status) {
        EXPECT_NE(0u, status);
        EXPECT_EQ(0u, handle);
    };
    EXPECT_GT(rdtest::ForEachAllocationFailure(attempt, again), 1);
    int32_t code = 0;
    EXPECT_EQ(0u, RDConnectGetPropertyInt(handle, 0x30006, &code));
    EXPECT_EQ(0x10002, code);
    EXPECT_EQ(0u, RDConnectGetPropertyInt(first, 0x30006, &code));
    EXPECT_EQ(0x10001, code);
    // Every connection initialised was terminated, but the two that live.
    EXPECT_EQ(Calls(RDXENTRY_INITIALIZE).size() - 2, Calls(RDXENTRY_TERMINATE).size());
}

} // namespace
} // namespace connecttest
