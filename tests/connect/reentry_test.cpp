// SPDX-License-Identifier: Apache-2.0
// Connectors that call back into the library: the log-once rule, the
// current operation, connections freed from inside their own calls, and the
// activity's end.
#include "connect_test_env.h"

namespace connecttest {
namespace {

uint32_t g_handle = 0;
rdx::CurrentOperation g_seen{};

TEST_F(ConnectTest, ConnectorsOwnEntryIsNotLoggedTwice) {
    Install({"linka"});
    const uint32_t handle = Open("linka");
    Script().hook = [](uint32_t entry, void *) {
        if (entry == RDXENTRY_CONNECT) RDActivityLog(1547);
    };
    Script().status[RDXENTRY_CONNECT] = 1547;
    EXPECT_EQ(1547u, RDConnectConnect(handle));
    EXPECT_EQ(1, LogCount(1547));
    // The same number returned later without being logged by the connector
    // is logged again.
    Script().hook = nullptr;
    EXPECT_EQ(1547u, RDConnectConnect(handle));
    EXPECT_EQ(2, LogCount(1547));
    EXPECT_EQ(1547u, RDActivityGetStatus());
    // The entry names the connection and the operation.
    EXPECT_NE(std::string::npos, logged().back().text.find("linka")) << logged().back().text;
}

TEST_F(ConnectTest, CallbacksKeepTheCallersCurrentOperation) {
    Install({"linka"});
    const uint32_t outer = OpenConnected("linka");
    g_handle = Open("linka");
    Script().hook = [](uint32_t entry, void *) {
        if (entry != RDXENTRY_ACTION) return;
        int32_t value = 0;
        RDConnectGetPropertyInt(g_handle, 1, &value); // another connection's call
        g_seen = rdx::Context()->log.current;
    };
    EXPECT_EQ(0u, RDConnectAction(outer, 6));
    EXPECT_EQ(static_cast<uint32_t>(RDXENTRY_ACTION), g_seen.entry);
    EXPECT_EQ(6u, g_seen.argument);
    EXPECT_NE(nullptr, g_seen.connection);
    EXPECT_EQ(nullptr, rdx::Context()->log.current.connection);
}

TEST_F(ConnectTest, ConnectionFreedInsideItsOwnCall) {
    Install({"linka"});
    g_handle = OpenConnected("linka");
    Script().hook = [](uint32_t entry, void *) {
        if (entry == RDXENTRY_FETCH) RDConnectFree(g_handle);
    };
    List list(4);
    uint32_t fetched = 0;
    EXPECT_EQ(0u, RDConnectFetch(g_handle, list.handle, 1, 4, &fetched));
    EXPECT_EQ(4u, fetched);
    EXPECT_EQ(1u, CallCount(RDXENTRY_FETCH));
    // Freed once the call had returned: disconnected, then terminated.
    EXPECT_EQ(1u, Calls(RDXENTRY_DISCONNECT).size());
    EXPECT_EQ(1u, Calls(RDXENTRY_TERMINATE).size());
    EXPECT_EQ(12308u, RDConnectFetch(g_handle, list.handle, 1, 4, &fetched));
}

TEST_F(ConnectTest, ConnectionFreedWhileItsPropertiesAreSet) {
    Install({"linka"});
    PropertySet *&set = rdx::Context()->activity.descriptionSet;
    ASSERT_EQ(0u, rdx::PropertySetCreate(&set));
    Stream server("s", RDCHARSET_DEFAULT);
    ASSERT_EQ(0u, rdx::PropertySetAdd(set, 0x10001, RDTYPE_TEXT, &server));
    Script().hook = [](uint32_t entry, void *) {
        if (entry == RDXENTRY_SETPROPERTY) RDConnectFree(1);
    };
    uint32_t handle = 7;
    EXPECT_EQ(12308u, Alloc("linka", &handle));
    EXPECT_EQ(0u, handle);
    EXPECT_EQ(1u, Calls(RDXENTRY_TERMINATE).size());
    Script().hook = nullptr;
    EXPECT_EQ(12308u, RDConnectConnect(1));
}

TEST_F(ConnectTest, ActivityEndDisconnectsWithTheStatusWord) {
    Install({"linka", "linkb"});
    const uint32_t a = OpenConnected("linka");
    Open("linkb");
    const uint32_t c = OpenConnected("linkb");
    (void)a, (void)c;
    EXPECT_EQ(4100u, RDActivityLog(4100));
    EndActivity();
    const auto disconnects = Calls(RDXENTRY_DISCONNECT);
    ASSERT_EQ(2u, disconnects.size());
    EXPECT_EQ(4100u, disconnects[0].args[0]);
    EXPECT_EQ(4100u, disconnects[1].args[0]);
    EXPECT_EQ(3u, Calls(RDXENTRY_TERMINATE).size());
    EXPECT_EQ(0u, rdx::Context()->connect.nextConnectionHandle);
}

TEST_F(ConnectTest, ActivityEndFromInsideAConnectorCall) {
    Install({"linka"});
    g_handle = OpenConnected("linka");
    Open("linka");
    Script().hook = [](uint32_t entry, void *) {
        if (entry == RDXENTRY_ACTION) rdx::ConnectTermAll();
    };
    EXPECT_EQ(0u, RDConnectAction(g_handle, 1));
    // The other connection went at once, the calling one after its call;
    // the link stays loaded under the running connector.
    EXPECT_EQ(2u, Calls(RDXENTRY_TERMINATE).size());
    EXPECT_EQ(static_cast<uint32_t>(RDXENTRY_TERMINATE),
              Script().calls[Script().callCount - 1].entry);
    EXPECT_EQ(1u, LinksLoaded());
    EXPECT_EQ(12308u, RDConnectAction(g_handle, 1));
}

} // namespace
} // namespace connecttest
