// SPDX-License-Identifier: Apache-2.0
// Connection properties: numbers the library answers, Password, what goes
// to the connector, the typed short-cuts, the initial values and the
// listing of the link's declarations.
#include "connect_test_env.h"

namespace connecttest {
namespace {

uint32_t Field(uint32_t type) {
    uint32_t field = 0;
    EXPECT_EQ(0u, RDFieldAlloc(&field, type, 1));
    return field;
}

TEST_F(ConnectTest, LibraryAnswersNameAndCodes) {
    Install({"linka"});
    const uint32_t handle = Open("linka");
    Stream name;
    EXPECT_EQ(0u, RDConnectGetPropertyStream(handle, 0x30004, RDCHARSET_DEFAULT, &name));
    EXPECT_EQ("linka", name.Bytes());
    EXPECT_TRUE(Calls(RDXENTRY_GETPROPERTY).empty());
    EXPECT_EQ(1u, CallCount(RDXENTRY_GETPROPERTY));
    struct Refused {
        uint32_t number;
    } const refused[] = {{0x10004}, {0x05010004}, {0x30001}, {0x30007}, {0x20001}};
    for (const Refused &r : refused) {
        logged().clear();
        int32_t value = 7;
        EXPECT_EQ(12555u, RDConnectGetPropertyInt(handle, r.number, &value)) << r.number;
        EXPECT_EQ(0, value);
        EXPECT_EQ(1, LogCount(12555)) << r.number;
    }
    EXPECT_TRUE(Calls(RDXENTRY_GETPROPERTY).empty()); // Password never reaches the connector
    EXPECT_EQ(1u, CallCount(RDXENTRY_GETPROPERTY));
}

TEST_F(ConnectTest, ConnectorNumbersGoToTheConnector) {
    Install({"linka"});
    const uint32_t handle = Open("linka");
    int32_t value = 0;
    EXPECT_EQ(0u, RDConnectGetPropertyInt(handle, 0x10001, &value));
    EXPECT_EQ(0x10001, value);
    EXPECT_EQ(0x10001u, Calls(RDXENTRY_GETPROPERTY).at(0).args[0]);
    // Set sends every number on, the library's own included.
    const int32_t rows = 42;
    for (uint32_t number : {1u, 0x30004u, 0x10004u}) {
        EXPECT_EQ(0u, RDConnectSetPropertyInt(handle, number, &rows));
        EXPECT_EQ(number, Calls(RDXENTRY_SETPROPERTY).back().args[0]);
        EXPECT_STREQ("42", Calls(RDXENTRY_SETPROPERTY).back().text);
    }
    EXPECT_EQ(0u, RDConnectSetPropertyInt(handle, 1, nullptr));
    EXPECT_STREQ("(null)", Calls(RDXENTRY_SETPROPERTY).back().text);
    Stream text("host-7", RDCHARSET_DEFAULT);
    EXPECT_EQ(0u, RDConnectSetPropertyStream(handle, 0x10001, &text));
    EXPECT_STREQ("host-7", Calls(RDXENTRY_SETPROPERTY).back().text);
    const double real = 2.5;
    EXPECT_EQ(0u, RDConnectSetPropertyFloat(handle, 3, &real));
    EXPECT_STREQ("2.5", Calls(RDXENTRY_SETPROPERTY).back().text);
    EXPECT_EQ(6u, CallCount(RDXENTRY_SETPROPERTY));
}

TEST_F(ConnectTest, PropertyFailuresAreLoggedOnce) {
    Install({"linka"});
    const uint32_t handle = Open("linka");
    Script().status[RDXENTRY_GETPROPERTY] = 3333;
    Script().status[RDXENTRY_SETPROPERTY] = 3334;
    const uint32_t field = Field(RDTYPE_INT);
    EXPECT_EQ(3333u, RDConnectGetProperty(handle, 1, field));
    EXPECT_EQ(3334u, RDConnectSetProperty(handle, 1, field));
    EXPECT_EQ(1, LogCount(3333));
    EXPECT_EQ(1, LogCount(3334));
    EXPECT_EQ(0u, CallCount(RDXENTRY_GETPROPERTY));
    // Boolean: the fallback on failure, else 1 or 0.
    EXPECT_EQ(9u, RDConnectGetPropertyBoolean(handle, 1, 9));
    Script().status[RDXENTRY_GETPROPERTY] = 0;
    EXPECT_EQ(1u, RDConnectGetPropertyBoolean(handle, 1, 9));
    // The checks, in order.
    EXPECT_EQ(12555u, RDConnectGetProperty(handle, 0, field));
    EXPECT_EQ(12809u, RDConnectGetProperty(handle, 1, 0));
    EXPECT_EQ(12555u, RDConnectSetProperty(handle, 0, field));
    EXPECT_EQ(12809u, RDConnectSetProperty(handle, 1, 0));
    EXPECT_EQ(12308u, RDConnectGetProperty(99, 1, field));
    EXPECT_EQ(12301u, RDConnectGetPropertyInt(handle, 1, nullptr));
    EXPECT_EQ(12301u, RDConnectGetPropertyStream(handle, 1, 0, nullptr));
    EXPECT_EQ(12555u, RDConnectSetPropertyInt(handle, 0, nullptr));
    EXPECT_EQ(0u, RDFieldFree(field));
}

TEST_F(ConnectTest, TypedGettersConvertTheConnectorsValue) {
    Install({"linka"});
    const uint32_t handle = Open("linka");
    Script().propertyText = "12.5";
    double real = 0;
    EXPECT_EQ(0u, RDConnectGetPropertyFloat(handle, 1, &real));
    EXPECT_EQ(12.5, real);
    Stream text;
    EXPECT_EQ(0u, RDConnectGetPropertyStream(handle, 1, RDCHARSET_UNICODE, &text));
    EXPECT_EQ(std::string("1\0002\000.\0005\0", 8), text.Bytes());
    RDCurrency money{};
    EXPECT_EQ(0u, RDConnectGetPropertyCurrency(handle, 1, &money));
    RDDatetime when{1, 1};
    Script().status[RDXENTRY_GETPROPERTY] = 55;
    EXPECT_EQ(55u, RDConnectGetPropertyDatetime(handle, 1, &when));
    RDDatetime cleared{};
    RDDatetimeClear(&cleared);
    EXPECT_EQ(0, std::memcmp(&cleared, &when, sizeof when));
}

TEST_F(ConnectTest, AGetThatStoresNothingGivesNoEarlierValue) {
    Install({"linka"});
    const uint32_t handle = Open("linka");
    int32_t value = 0;
    EXPECT_EQ(0u, RDConnectGetPropertyInt(handle, 7, &value));
    EXPECT_EQ(7, value);
    Script().storeNothing = 1;
    EXPECT_EQ(0u, RDConnectGetPropertyInt(handle, 8, &value));
    EXPECT_EQ(0, value);
    Stream text("stale", RDCHARSET_DEFAULT);
    EXPECT_EQ(0u, RDConnectGetPropertyStream(handle, 8, RDCHARSET_DEFAULT, &text));
    EXPECT_EQ(0u, text.s.length);
}

TEST_F(ConnectTest, ListingGivesTheLinksDeclarations) {
    Install({"linka"});
    const uint32_t handle = Open("linka");
    struct Row {
        uint32_t number, type, attributes;
        std::string name;
    } const rows[] = {
        {0x10001, 6, 0, "Server"},   {0x10003, 6, 2, "Login"}, {1, 1, 5, "Rows"}, {2, 1, 0, ""},
        {0x10005, 6, 0, "Metadata"},
    };
    Stream name("stale", RDCHARSET_DEFAULT);
    uint32_t number = 0, type = 0, attributes = 0, mode = 1;
    for (const Row &row : rows) {
        ASSERT_EQ(0u, RDConnectListProperty(handle, mode, &number, &type, &attributes, &name));
        mode = 2;
        EXPECT_EQ(row.number, number);
        EXPECT_EQ(row.type, type);
        EXPECT_EQ(row.attributes, attributes);
        EXPECT_EQ(row.name, name.Bytes());
    }
    for (int again = 0; again < 2; ++again) {
        EXPECT_EQ(12290u, RDConnectListProperty(handle, 2, &number, &type, &attributes, &name));
        EXPECT_EQ(0u, number + type + attributes + name.s.length);
    }
    EXPECT_EQ(0u, RDConnectListProperty(handle, 1, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(12292u, RDConnectListProperty(handle, 3, &number, nullptr, nullptr, nullptr));
    EXPECT_EQ(12308u, RDConnectListProperty(77, 1, &number, nullptr, nullptr, nullptr));
}

TEST_F(ConnectTest, ActivityDescriptionGivesInitialValues) {
    Install({"linka"});
    PropertySet *&set = rdx::Context()->activity.descriptionSet;
    ASSERT_EQ(0u, rdx::PropertySetCreate(&set));
    Stream server("main-host", RDCHARSET_DEFAULT), rows("5", RDCHARSET_DEFAULT);
    ASSERT_EQ(0u, rdx::PropertySetAdd(set, 0x10001, RDTYPE_TEXT, &server));
    // Number 1 has no built-in name: the activity's value is not taken.
    ASSERT_EQ(0u, rdx::PropertySetAdd(set, 1, RDTYPE_TEXT, &rows));
    Open("linka");
    const auto sets = Calls(RDXENTRY_SETPROPERTY);
    ASSERT_EQ(1u, sets.size());
    EXPECT_EQ(0x10001u, sets[0].args[0]);
    EXPECT_STREQ("main-host", sets[0].text);
}

TEST_F(ConnectTest, DirectReferenceUsesOnlyTheTopByte) {
    Install({"linka"});
    PropertySet *&set = rdx::Context()->activity.descriptionSet;
    ASSERT_EQ(0u, rdx::PropertySetCreate(&set));
    Stream mine("ff-host", RDCHARSET_DEFAULT), other("01-host", RDCHARSET_DEFAULT);
    ASSERT_EQ(0u, rdx::PropertySetAdd(set, 0x01010001, RDTYPE_TEXT, &other));
    ASSERT_EQ(0u, rdx::PropertySetAdd(set, 0xFF010001, RDTYPE_TEXT, &mine));
    uint32_t handle = 0;
    ASSERT_EQ(0u, Alloc("linka", &handle, 0xFF000001));
    const auto sets = Calls(RDXENTRY_SETPROPERTY);
    ASSERT_EQ(1u, sets.size());
    EXPECT_EQ(0x10001u, sets[0].args[0]);
    EXPECT_STREQ("ff-host", sets[0].text);
}

} // namespace
} // namespace connecttest
