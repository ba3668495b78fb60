// SPDX-License-Identifier: Apache-2.0
// Links described by the server manager: the description found by name or
// by the activity's Link property, the optional second description, the
// connector's name and initial values they give, and their failures.
#include "connect_test_env.h"
#include "csmgr/transport.h"
#include "csmgr_peer.h"

namespace connecttest {
namespace {

using rdtest::Reply;
using rdtest::Word;

std::string Item(uint32_t type, uint32_t number, const std::string &value) {
    const std::string bytes = type == RDTYPE_INT ? value : value + '\0';
    return Word(type) + Word(type == RDTYPE_INT ? 0 : 256) + Word(number) +
           Word(static_cast<uint32_t>(bytes.size())) + bytes;
}
std::string TextItem(uint32_t number, const std::string &text) {
    return Item(RDTYPE_TEXT, number, text);
}

Reply Answer(std::size_t total, std::size_t at, const std::string &piece, uint32_t status = 0) {
    Reply reply = Reply::Answer(status, "", total);
    reply.bytes->replace(at, piece.size(), piece);
    return reply;
}
Reply Id(uint32_t id, uint32_t status = 0) {
    return Answer(537, 16, Word(id), status);
}
Reply Description(const std::string &items) {
    const std::string all = items + Word(0) + Word(0) + Word(0) + Word(0);
    return Answer(25 + all.size(), 25, all);
}

class DescribedLinkTest : public ConnectTest {
  protected:
    void SetUp() override {
        ConnectTest::SetUp();
        ASSERT_EQ(0u, RDINISetString("Configuration", "KitType", "2", "quarry.ini"));
        rdx::csmgr::SetPipeSeconds(0);
        Install({"linka"});
    }
    void TearDown() override {
        rdx::csmgr::SetPipeSeconds(rdx::csmgr::kPipeSeconds);
        ConnectTest::TearDown();
    }
    void ActivityProperty(uint32_t number, int32_t value) {
        PropertySet *&set = rdx::Context()->activity.descriptionSet;
        if (set == nullptr) {
            ASSERT_EQ(0u, rdx::PropertySetCreate(&set));
        }
        ASSERT_EQ(0u, rdx::PropertySetAdd(set, number, RDTYPE_INT, &value));
    }
    rdtest::CSMgrPeer peer_;
};

TEST_F(DescribedLinkTest, ByNameGivesConnectorNameAndValues) {
    peer_.Script(Id(77));
    peer_.Script(Description(TextItem(0x30001, "linka") + TextItem(0x30004, "Orders") +
                             TextItem(0x10001, "db-host") + TextItem(0x10003, "clerk")));
    Stream name("orders", 256);
    uint32_t handle = 0;
    ASSERT_EQ(0u, RDConnectAlloc(&handle, 0, &name));
    EXPECT_EQ(2u, peer_.Count());
    EXPECT_EQ(77u, rdtest::WordAt(peer_.Requests()[1], 20)); // the description asked for
    Stream connection;
    EXPECT_EQ(0u, RDConnectGetPropertyStream(handle, 0x30004, RDCHARSET_DEFAULT, &connection));
    EXPECT_EQ("Orders", connection.Bytes());
    const auto sets = Calls(RDXENTRY_SETPROPERTY);
    ASSERT_EQ(2u, sets.size());
    EXPECT_EQ(0x10001u, sets[0].args[0]);
    EXPECT_STREQ("db-host", sets[0].text);
    EXPECT_EQ(0x10003u, sets[1].args[0]);
    EXPECT_STREQ("clerk", sets[1].text);
    const ConnectionRecord *record = rdx::Context()->connect.connectionSlots[handle % 8];
    EXPECT_EQ(77u, record->linkDescriptionId);
    EXPECT_EQ(0u, record->optionDescriptionId);
}

TEST_F(DescribedLinkTest, QualifiedLinkPropertyAndOptionDescription) {
    ActivityProperty(0x03030002, 40); // Link of qualifier 3
    ActivityProperty(0x03030003, 41); // Option of qualifier 3
    Stream server("activity-host", 256);
    ASSERT_EQ(0u, rdx::PropertySetAdd(rdx::Context()->activity.descriptionSet, 0x03010001,
                                      RDTYPE_TEXT, &server));
    peer_.Script(Description(TextItem(0x30001, "linka") + TextItem(0x10001, "link-host")));
    peer_.Script(Description(TextItem(0x10003, "option-user")));
    uint32_t handle = 0;
    ASSERT_EQ(0u, RDConnectAlloc(&handle, 0x03000005, nullptr));
    ASSERT_EQ(2u, peer_.Count());
    EXPECT_EQ(40u, rdtest::WordAt(peer_.Requests()[0], 20));
    EXPECT_EQ(41u, rdtest::WordAt(peer_.Requests()[1], 20));
    const auto sets = Calls(RDXENTRY_SETPROPERTY);
    ASSERT_EQ(2u, sets.size());
    EXPECT_STREQ("activity-host", sets[0].text); // the qualified value wins
    EXPECT_STREQ("option-user", sets[1].text);
    const ConnectionRecord *record = rdx::Context()->connect.connectionSlots[handle % 8];
    EXPECT_EQ(0x03000000u, record->qualifier);
    EXPECT_EQ(41u, record->optionDescriptionId);
    // The connection's name is the link's when the description has none.
    Stream name;
    EXPECT_EQ(0u, RDConnectGetPropertyStream(handle, 0x30004, 0, &name));
    EXPECT_EQ("linka", name.Bytes());
}

TEST_F(DescribedLinkTest, DirectReferenceAsksNothing) {
    uint32_t handle = 0;
    EXPECT_EQ(0u, Alloc("linka", &handle));
    rdx::Context()->activity.activityMode |= rdx::kModeStandAlone;
    EXPECT_EQ(0u, Alloc("linka", &handle, 0));
    EXPECT_EQ(0u, peer_.Count());
}

TEST_F(DescribedLinkTest, DescriptionFailures) {
    Stream name("orders", 256);
    uint32_t handle = 7;
    // The name unknown to the server manager: 1544 logged with the name,
    // then the server manager's status.
    peer_.Script(Id(0, 905));
    EXPECT_EQ(905u, RDConnectAlloc(&handle, 0, &name));
    EXPECT_EQ(1, LogCount(1544));
    EXPECT_NE(std::string::npos, logged()[0].text.find("orders")) << logged()[0].text;
    EXPECT_EQ(1, LogCount(905));
    EXPECT_EQ(0u, handle);
    // An identifier of 0, or no Link property for the qualifier.
    peer_.Script(Id(0));
    EXPECT_EQ(1544u, RDConnectAlloc(&handle, 0, &name));
    EXPECT_EQ(1544u, RDConnectAlloc(&handle, 0x07000000, nullptr));
    // A description without a connector's name.
    peer_.Script(Id(5));
    peer_.Script(Description(TextItem(0x10001, "x")));
    EXPECT_EQ(1545u, RDConnectAlloc(&handle, 0, &name));
    // A description naming a connector that does not load.
    peer_.Script(Id(5));
    peer_.Script(Description(TextItem(0x30001, "nosuch")));
    logged().clear();
    EXPECT_EQ(1546u, RDConnectAlloc(&handle, 0, &name));
    ASSERT_EQ(1u, logged().size());
    EXPECT_NE(std::string::npos, logged()[0].text.find("nosuch")) << logged()[0].text;
    // The description request fails.
    peer_.Script(Id(5));
    peer_.Script(Reply::Answer(798));
    EXPECT_EQ(798u, RDConnectAlloc(&handle, 0, &name));
    EXPECT_EQ(0u, LinksLoaded());
}

} // namespace
} // namespace connecttest
