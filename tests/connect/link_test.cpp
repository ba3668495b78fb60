// SPDX-License-Identifier: Apache-2.0
// Links by name and by listing: loaded once per activity, coded in load
// order, and only link connectors listed.
#include "connect_test_env.h"

#include <set>

namespace connecttest {
namespace {

TEST_F(ConnectTest, LookupLoadsOnceIgnoringLetterCase) {
    Install({"linka", "linkb"});
    Stream lower("linka", RDCHARSET_DEFAULT), upper("LINKA", RDCHARSET_DEFAULT),
        second("linkb", RDCHARSET_DEFAULT);
    uint32_t code = 7;
    EXPECT_EQ(0u, RDActivityLookupLink(&second, &code));
    EXPECT_EQ(0x10000u, code);
    EXPECT_EQ(0u, RDActivityLookupLink(&lower, &code));
    EXPECT_EQ(0x20000u, code);
    EXPECT_EQ(0u, RDActivityLookupLink(&upper, &code));
    EXPECT_EQ(0x20000u, code);
    EXPECT_EQ(0u, RDActivityLookupLink(&upper, nullptr));
    EXPECT_EQ(2u, Calls(RDXENTRY_IDENTIFY).size());
    EXPECT_EQ(2u, LinksLoaded());
    EXPECT_EQ(0x30000u, rdx::Context()->connect.linkCounter);
}

TEST_F(ConnectTest, LookupRefusals) {
    uint32_t code = 7;
    EXPECT_EQ(1546u, RDActivityLookupLink(nullptr, &code));
    EXPECT_EQ(0u, code);
    block_.command = 2;
    Stream name("linka", RDCHARSET_DEFAULT);
    EXPECT_EQ(1543u, RDActivityLookupLink(&name, &code));
    EXPECT_EQ(1543u, RDActivityListLink(1, &code, nullptr));
    EndActivity();
    EXPECT_EQ(12321u, RDActivityLookupLink(&name, &code));
    EXPECT_EQ(12321u, RDActivityListLink(1, &code, nullptr));
}

TEST_F(ConnectTest, ListingReturnsOnlyLinkConnectors) {
    Install({"linka", "linkb", "activity", "nodrop"});
    rdtest::WriteFile(Home("notelf.rdx"), "text, not a library");
    std::set<std::string> names;
    std::set<uint32_t> codes;
    Stream name;
    uint32_t code = 0;
    // Mode 2 without a listing starts one.
    for (uint32_t mode = 2, status; (status = RDActivityListLink(mode, &code, &name)) == 0;) {
        names.insert(Text(name.s));
        codes.insert(code);
        EXPECT_EQ(RDCHARSET_DEFAULT, name.s.charset);
    }
    EXPECT_EQ((std::set<std::string>{"linka", "linkb"}), names);
    EXPECT_EQ((std::set<uint32_t>{0x10000, 0x20000}), codes);
    EXPECT_EQ(0u, code);
    EXPECT_EQ(0u, name.s.length);
    EXPECT_EQ(12290u, RDActivityListLink(2, &code, &name));
    EXPECT_EQ(12292u, RDActivityListLink(3, &code, &name));
    // A new listing finds the loaded links again, with the same codes.
    EXPECT_EQ(0u, RDActivityListLink(1, &code, &name));
    EXPECT_TRUE(code == 0x10000 || code == 0x20000);
    EXPECT_EQ(2u, LinksLoaded());
    EXPECT_FALSE(Mapped("activity.rdx"));
    EXPECT_FALSE(Mapped("nodrop.rdx"));
}

TEST_F(ConnectTest, EmptyHomeListsNothing) {
    uint32_t code = 5;
    EXPECT_EQ(12290u, RDActivityListLink(1, &code, nullptr));
    EXPECT_EQ(0u, code);
}

TEST_F(ConnectTest, ActivityEndUnloadsLinks) {
    Install({"linka"});
    const uint32_t handle = Open("linka");
    EXPECT_TRUE(Mapped("linka.rdx"));
    uint32_t code = 0;
    EXPECT_EQ(0u, RDActivityListLink(1, &code, nullptr));
    EndActivity();
    EXPECT_FALSE(Mapped("linka.rdx"));
    EXPECT_EQ(0u, rdx::Context()->connect.linkCounter);
    EXPECT_EQ(nullptr, rdx::Context()->connect.linkListing);
    EXPECT_EQ(nullptr, rdx::Context()->connect.connectionSlots[handle % 8]);
}

} // namespace
} // namespace connecttest
