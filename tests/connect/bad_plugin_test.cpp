// SPDX-License-Identifier: Apache-2.0
// Every plug-in a host may find in its home directory: the broken ones are
// refused with nothing left loaded and no link number used up.
#include "connect_test_env.h"

#include "rdplat_mem.h"

#include <cstring>
#include <filesystem>

namespace connecttest {
namespace {

struct BadPlugin {
    const char *name; // the link name asked for
    uint32_t status;
    bool identified; // RDXIdentify was called
};

TEST_F(ConnectTest, BadPluginsAreRefusedAndLeaveNothing) {
    Install({"noidentify", "nodrop", "nofetch", "activity", "kind3", "kind1old", "oldversion",
             "failident", "nodecl", "hugeprivate", "linka"});
    rdtest::WriteFile(Home("notelf.rdx"), "\x7f"
                                          "ELF but not really");
    std::filesystem::create_directory(Home("dir.rdx"));
    std::filesystem::create_directory(Home("sub"));
    std::filesystem::copy_file(Home("linka.rdx"), Home("sub/linkb.rdx"));
    const BadPlugin cases[] = {
        {"notelf", 1546, false},     {"dir", 1546, false},      {"missing", 1546, false},
        {"sub/linkb", 1546, false},  {"../linka", 1546, false}, {"", 1546, false},
        {"noidentify", 1547, false}, {"nodrop", 1547, false},   {"nofetch", 1547, false},
        {"activity", 1547, true},    {"kind3", 1547, true},     {"kind1old", 1547, true},
        {"oldversion", 1548, true},  {"failident", 4711, true}, {"nodecl", 1547, true},
        {"hugeprivate", 1547, true},
    };
    for (const BadPlugin &c : cases) {
        Script().callCount = 0;
        Stream name(c.name, RDCHARSET_DEFAULT);
        uint32_t code = 7, handle = 7;
        EXPECT_EQ(c.status, RDActivityLookupLink(&name, &code)) << c.name;
        EXPECT_EQ(0u, code) << c.name;
        EXPECT_EQ(c.status, RDConnectAlloc(&handle, RDLINK_DIRECT, &name)) << c.name;
        EXPECT_EQ(0u, handle) << c.name;
        EXPECT_EQ(c.identified, !Calls(RDXENTRY_IDENTIFY).empty()) << c.name;
        EXPECT_EQ(0u, LinksLoaded()) << c.name;
        EXPECT_FALSE(Mapped(std::string(c.name) + ".rdx")) << c.name;
        EXPECT_EQ(0u, rdx::Context()->connect.linkCounter) << c.name;
    }
    // Failed loads used no link number; allocation failures were logged.
    EXPECT_FALSE(Mapped("sub/linkb.rdx"));
    Stream good("linka", RDCHARSET_DEFAULT);
    uint32_t code = 0;
    EXPECT_EQ(0u, RDActivityLookupLink(&good, &code));
    EXPECT_EQ(0x10000u, code);
    EXPECT_EQ(6, LogCount(1546));
    EXPECT_EQ(1, LogCount(1548));
    EXPECT_EQ(1, LogCount(4711));
}

TEST_F(ConnectTest, TheActivityConnectorsNameIsNoLink) {
    Install({"linka"});
    rdx::ActivityState &activity = rdx::Context()->activity;
    activity.connectorName = static_cast<char *>(RDMemAlloc(6));
    std::memcpy(activity.connectorName, "linka", 6);
    activity.connectorNameLength = 5;
    Stream name("LinkA", RDCHARSET_DEFAULT);
    uint32_t code = 7;
    EXPECT_EQ(1547u, RDActivityLookupLink(&name, &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(Calls(RDXENTRY_IDENTIFY).empty());
    EXPECT_FALSE(Mapped("linka.rdx"));
    RDMemFree(activity.connectorName);
    activity.connectorName = nullptr;
    activity.connectorNameLength = 0;
}

TEST_F(ConnectTest, ZeroPrivateSizeWorks) {
    Install({"noprivate"});
    const uint32_t handle = OpenConnected("noprivate");
    uint32_t fetched = 0;
    List list(3);
    EXPECT_EQ(0u, RDConnectFetch(handle, list.handle, 1, 3, &fetched));
    EXPECT_EQ(3u, fetched);
    const auto calls = Calls(RDXENTRY_FETCH);
    ASSERT_EQ(1u, calls.size());
    EXPECT_NE(nullptr, calls[0].priv);
    EXPECT_EQ(0u, RDConnectFree(handle));
}

TEST_F(ConnectTest, LaunchEntryDoesNotStopALink) {
    Install({"linkc"});
    EXPECT_NE(0u, Open("linkc"));
}

} // namespace
} // namespace connecttest
