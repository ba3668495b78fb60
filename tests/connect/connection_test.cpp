// SPDX-License-Identifier: Apache-2.0
// Connections: handles, connect codes, the first and last flags, the handle
// slots, and freeing.
#include "connect_test_env.h"

namespace connecttest {
namespace {

int32_t IntProperty(uint32_t handle, uint32_t number) {
    int32_t value = -1;
    EXPECT_EQ(0u, RDConnectGetPropertyInt(handle, number, &value));
    return value;
}

TEST_F(ConnectTest, HandlesAndCodesFollowLinksAndConnections) {
    Install({"linka", "linkb"});
    const uint32_t first = Open("linka"), second = Open("LinkA"), other = Open("linkb");
    EXPECT_EQ(1u, first);
    EXPECT_EQ(2u, second);
    EXPECT_EQ(3u, other);
    EXPECT_EQ(0x10001, IntProperty(first, 0x30006));
    EXPECT_EQ(0x10000, IntProperty(first, 0x30005));
    EXPECT_EQ(0x10002, IntProperty(second, 0x30006));
    EXPECT_EQ(0x20001, IntProperty(other, 0x30006));
    EXPECT_EQ(0x20000, IntProperty(other, 0x30005));
    const auto inits = Calls(RDXENTRY_INITIALIZE);
    ASSERT_EQ(3u, inits.size());
    EXPECT_EQ(0x10001u, inits[0].args[0]);
    EXPECT_EQ(0x10002u, inits[1].args[0]);
    EXPECT_EQ(0x20001u, inits[2].args[0]);
    EXPECT_EQ(3u, CallCount(RDXENTRY_INITIALIZE));
    // The private area each connection got is the one its calls receive.
    EXPECT_EQ(0u, RDConnectConnect(second));
    EXPECT_EQ(inits[1].priv, Calls(RDXENTRY_CONNECT).at(0).priv);
    uint32_t code = 0;
    std::memcpy(&code, inits[1].priv, 4);
    EXPECT_EQ(0x10002u, code);
}

TEST_F(ConnectTest, FirstAndLastFlagsFollowLiveConnections) {
    Install({"linka"});
    const uint32_t a = Open("linka"), b = Open("linka");
    EXPECT_EQ(0u, RDConnectFree(a));
    EXPECT_EQ(0u, RDConnectFree(b));
    const uint32_t c = Open("linka");
    const auto inits = Calls(RDXENTRY_INITIALIZE), terms = Calls(RDXENTRY_TERMINATE);
    ASSERT_EQ(3u, inits.size());
    EXPECT_EQ(1u, inits[0].args[1]);
    EXPECT_EQ(0u, inits[1].args[1]);
    EXPECT_EQ(1u, inits[2].args[1]);
    ASSERT_EQ(2u, terms.size());
    EXPECT_EQ(0u, terms[0].args[0]);
    EXPECT_EQ(1u, terms[1].args[0]);
    EXPECT_EQ(2u, CallCount(RDXENTRY_TERMINATE));
    EXPECT_EQ(3u, c); // handles are not reused
    EXPECT_EQ(0x10003, IntProperty(c, 0x30006));
}

TEST_F(ConnectTest, HandlesSharingASlotStayReachable) {
    Install({"linka"});
    std::vector<uint32_t> handles;
    for (int i = 0; i < 10; ++i)
        handles.push_back(Open("linka"));
    EXPECT_EQ(1u, handles[0]);
    EXPECT_EQ(9u, handles[8]);
    EXPECT_EQ(0u, RDConnectFree(1));
    EXPECT_EQ(0x10009, IntProperty(9, 0x30006));
    EXPECT_EQ(0u, RDConnectFree(9));
    EXPECT_EQ(12308u, RDConnectConnect(9));
    EXPECT_EQ(12308u, RDConnectConnect(1));
    EXPECT_EQ(0x1000A, IntProperty(10, 0x30006));
    EXPECT_EQ(0x10002, IntProperty(2, 0x30006));
    EXPECT_EQ(0u, RDConnectFree(1)); // unknown handles free nothing
    EXPECT_EQ(0u, RDConnectFree(0));
}

TEST_F(ConnectTest, AllocRefusals) {
    Install({"linka"});
    Stream name("linka", RDCHARSET_DEFAULT);
    EXPECT_EQ(12302u, RDConnectAlloc(nullptr, RDLINK_DIRECT, &name));
    uint32_t handle = 7;
    block_.command = 1;
    EXPECT_EQ(1542u, RDConnectAlloc(&handle, RDLINK_DIRECT, &name));
    EXPECT_EQ(0u, handle);
    block_.command = 0;
    Script().status[RDXENTRY_INITIALIZE] = 4444;
    handle = 7;
    EXPECT_EQ(4444u, RDConnectAlloc(&handle, RDLINK_DIRECT, &name));
    EXPECT_EQ(0u, handle);
    EXPECT_EQ(1, LogCount(4444));
    EXPECT_TRUE(Calls(RDXENTRY_TERMINATE).empty()); // never initialised, never terminated
    EXPECT_EQ(0u, CallCount(RDXENTRY_INITIALIZE));
    Script().status[RDXENTRY_INITIALIZE] = 0;
    // The failed connection took a handle but no connect code.
    EXPECT_EQ(0x10001, IntProperty(Open("linka"), 0x30006));
    EndActivity();
    EXPECT_EQ(12321u, RDConnectAlloc(&handle, RDLINK_DIRECT, &name));
}

TEST_F(ConnectTest, ALinkHasNoConnectionCodeBeyond65535) {
    Install({"linka", "linkb"});
    Open("linka");
    LinkRecord *link = rdx::Context()->connect.linkChain;
    link->linkCode = 0x1FFFF; // as after 65534 connections
    const uint32_t last = Open("linka");
    EXPECT_EQ(0x1FFFF, IntProperty(last, 0x30006));
    uint32_t handle = 7;
    EXPECT_EQ(1550u, Alloc("linka", &handle));
    EXPECT_EQ(0u, handle);
    EXPECT_EQ(0x20001, IntProperty(Open("linkb"), 0x30006));
}

TEST_F(ConnectTest, FreeDisconnectsFirst) {
    Install({"linka"});
    const uint32_t handle = OpenConnected("linka");
    rdx::Context()->activity.activityStatus = 1547;
    EXPECT_EQ(0u, RDConnectFree(handle));
    const auto disconnects = Calls(RDXENTRY_DISCONNECT);
    ASSERT_EQ(1u, disconnects.size());
    EXPECT_EQ(1547u, disconnects[0].args[0]);
    const Recorder &r = Script();
    EXPECT_EQ(static_cast<uint32_t>(RDXENTRY_DISCONNECT), r.calls[r.callCount - 2].entry);
    EXPECT_EQ(static_cast<uint32_t>(RDXENTRY_TERMINATE), r.calls[r.callCount - 1].entry);
}

TEST_F(ConnectTest, FreeLogsATerminateFailureAndStillFrees) {
    Install({"linka"});
    const uint32_t handle = Open("linka");
    Script().status[RDXENTRY_TERMINATE] = 4321;
    EXPECT_EQ(0u, RDConnectFree(handle));
    EXPECT_EQ(1, LogCount(4321));
    EXPECT_EQ(12308u, RDConnectConnect(handle));
    EXPECT_EQ(0u, CallCount(RDXENTRY_TERMINATE));
}

} // namespace
} // namespace connecttest
