// SPDX-License-Identifier: Apache-2.0
// Activity properties: declared ones kept for the server manager, added ones
// of the three kinds, the system's own, the typed short-cuts, the listing
// and the names the log gives them.
#include "activity_peer_env.h"

#include "activity/property_set.h"
#include "rdx_activity.h"

#include <cstdlib>
#include <cstring>

namespace rdxtest {
namespace {

std::string FloatBytes(double value) {
    std::string bytes(8, '\0');
    std::memcpy(bytes.data(), &value, 8);
    return bytes;
}

// A host's activity with the test connector (declarations 1-6, Password,
// Link, Host) and a description holding a few values.
class PropertyTest : public PeerActivityTest {
  protected:
    void SetUp() override {
        PeerActivityTest::SetUp();
        Install("act_good");
        Serve(5, TextItem(0x30001, "act_good") + IntItem(1, 7) + TextItem(2, "described") +
                     Item(2, 0, 3, FloatBytes(2.5)) + TextItem(0x10004, "secret") +
                     Item(5, 0, 0x02000004, Word(100) + Word(2460000)));
        ASSERT_EQ(0u, RDActivityInit(&block_));
    }
    uint32_t Add(const std::string &name, uint32_t kind) {
        Stream text(name, 256);
        uint32_t number = 0;
        EXPECT_EQ(0u, RDActivityAddProperty(&text, kind, &number)) << name;
        return number;
    }
    std::string GetText(uint32_t number, uint32_t expect = 0) {
        Stream text("stale", 256);
        EXPECT_EQ(expect, RDActivityGetPropertyStream(number, 256, &text)) << number;
        return text.Bytes();
    }
    int32_t GetInt(uint32_t number, uint32_t expect = 0) {
        int32_t value = -99;
        EXPECT_EQ(expect, RDActivityGetPropertyInt(number, &value)) << number;
        return value;
    }
    ActivityBlock block_{5, 0, {0, 0, 0}};
};

TEST_F(PropertyTest, TypedShortCutsKeepEveryTypeInThePutBackSet) {
    const int32_t count = -12;
    const double ratio = 0.125;
    const RDCurrency cost{123456, 0};
    const RDDatetime when{4500, 2460100};
    RDNumeric amount{};
    Stream amountText("-12.50", 256), title("n\xC3\xA9", 256);
    ASSERT_EQ(0u, RDNumericFromStream(&amount, &amountText));
    ASSERT_EQ(0u, RDActivitySetPropertyInt(1, &count));
    ASSERT_EQ(0u, RDActivitySetPropertyStream(2, &title));
    ASSERT_EQ(0u, RDActivitySetPropertyFloat(3, &ratio));
    ASSERT_EQ(0u, RDActivitySetPropertyDatetime(4, &when));
    ASSERT_EQ(0u, RDActivitySetPropertyCurrency(5, &cost));
    ASSERT_EQ(0u, RDActivitySetPropertyNumeric(6, &amount));
    EXPECT_EQ(6u, rdx::PropertySetCount(rdx::Context()->activity.putBackSet));

    EXPECT_EQ(-12, GetInt(1));
    EXPECT_EQ("n\xC3\xA9", GetText(2));
    Stream wide;
    EXPECT_EQ(0u, RDActivityGetPropertyStream(2, RDCHARSET_UNICODE, &wide));
    EXPECT_EQ(Wide(u"n\u00E9"), wide.Bytes());
    double gotRatio = 0;
    EXPECT_EQ(0u, RDActivityGetPropertyFloat(3, &gotRatio));
    EXPECT_EQ(0.125, gotRatio);
    RDDatetime gotWhen{};
    EXPECT_EQ(0u, RDActivityGetPropertyDatetime(4, &gotWhen));
    EXPECT_EQ(0, std::memcmp(&when, &gotWhen, sizeof when));
    RDCurrency gotCost{};
    EXPECT_EQ(0u, RDActivityGetPropertyCurrency(5, &gotCost));
    EXPECT_EQ(0, std::memcmp(&cost, &gotCost, sizeof cost));
    RDNumeric gotAmount{};
    int32_t order = 1;
    EXPECT_EQ(0u, RDActivityGetPropertyNumeric(6, &gotAmount));
    EXPECT_EQ(0u, RDNumericCompare(&amount, &gotAmount, &order));
    EXPECT_EQ(0, order);
}

TEST_F(PropertyTest, ValuesConvertOnTheWayOut) {
    EXPECT_EQ("7", GetText(1));
    Stream twelve("12", 256);
    ASSERT_EQ(0u, RDActivitySetPropertyStream(2, &twelve));
    EXPECT_EQ(12, GetInt(2));
    double ratio = 0;
    EXPECT_EQ(0u, RDActivityGetPropertyFloat(1, &ratio));
    EXPECT_EQ(7.0, ratio);
}

TEST_F(PropertyTest, NullRemovesTheSetValueAndTheDescriptionShowsAgain) {
    const int32_t first = 1, second = 2;
    ASSERT_EQ(0u, RDActivitySetPropertyInt(1, &first));
    ASSERT_EQ(0u, RDActivitySetPropertyInt(1, &second));
    EXPECT_EQ(1u, rdx::PropertySetCount(rdx::Context()->activity.putBackSet));
    EXPECT_EQ(2, GetInt(1));
    ASSERT_EQ(0u, RDActivitySetPropertyInt(1, nullptr));
    EXPECT_EQ(0u, rdx::PropertySetCount(rdx::Context()->activity.putBackSet));
    EXPECT_EQ(7, GetInt(1));
}

TEST_F(PropertyTest, QualifiersMatchAsTheSetsStoreThem) {
    double ratio = 0;
    EXPECT_EQ(0u, RDActivityGetPropertyFloat(0x05000003, &ratio)); // stored without qualifier
    EXPECT_EQ(2.5, ratio);
    RDDatetime when{};
    EXPECT_EQ(0u, RDActivityGetPropertyDatetime(0x02000004, &when));
    EXPECT_EQ(100u, when.ticks);
    EXPECT_EQ(12555u, RDActivityGetPropertyDatetime(4, &when)); // stored for qualifier 2 only
}

TEST_F(PropertyTest, PasswordIsNeverHandedOut) {
    Stream secret("new secret", 256);
    ASSERT_EQ(0u, RDActivitySetPropertyStream(0x10004, &secret));
    // The log names declarations by their exact number.
    for (const auto &[number, shown] :
         {std::pair{0x10004u, "Password"}, {0x07010004u, "0x7010004"}}) {
        RDActivityClearStatus();
        EXPECT_EQ("", GetText(number, 12555));
        EXPECT_EQ(12555u, RDActivityGetStatus());
        Stream text;
        EXPECT_EQ(12555u, RDActivityGetLogLast(&text, nullptr, nullptr));
        EXPECT_EQ(std::string("ERROR: Property ") + shown + " is invalid, unknown or refused.",
                  text.Bytes());
    }
}

TEST_F(PropertyTest, SystemPropertiesComeFromTheContext) {
    EXPECT_EQ(static_cast<int32_t>(rdx::GetTextFormat()), GetInt(0x1000F));
    EXPECT_NE(0, GetInt(0x1000F));
    EXPECT_EQ("", GetText(0x30004)); // no Name in the description: a null value
}

TEST_F(PropertyTest, AddedNamesNumberAfterTheDeclarations) {
    const uint32_t limit = Add("Limit", 2);
    EXPECT_EQ(7u, limit);
    EXPECT_EQ(limit, Add("LIMIT", 2));
    EXPECT_EQ(8u, Add("limit", 3));
    EXPECT_EQ(9u, Add("other", 2));
    Stream name("x", 256);
    uint32_t number = 5;
    EXPECT_EQ(12302u, RDActivityAddProperty(&name, 2, nullptr));
    EXPECT_EQ(12555u, RDActivityAddProperty(nullptr, 2, &number));
    EXPECT_EQ(0u, number);
    EXPECT_EQ(12555u, RDActivityAddProperty(&name, 0, &number));
    EXPECT_EQ(12555u, RDActivityAddProperty(&name, 4, &number));
}

TEST_F(PropertyTest, LocalPropertyHasAValueOnlyOnceSet) {
    const uint32_t local = Add("counter", 2);
    // A failed get never hands out the value of an earlier one (the text
    // format goes through the scratch field as a failed get does).
    EXPECT_NE(0, GetInt(0x1000F));
    EXPECT_EQ(0, GetInt(local, 12810));
    EXPECT_EQ("", GetText(local, 12810));
    const int32_t value = 3;
    ASSERT_EQ(0u, RDActivitySetPropertyInt(local, &value));
    EXPECT_EQ(3, GetInt(local));
    EXPECT_EQ(1u, rdx::PropertySetCount(rdx::Context()->activity.localSet));
    ASSERT_EQ(0u, RDActivitySetPropertyInt(local, nullptr));
    EXPECT_EQ(0, GetInt(local, 12810));
}

TEST_F(PropertyTest, EnvironmentPropertyIsTheVariable) {
    const ScopedEnv variable("RDTEST_ACTIVITY_VAR", "before");
    const uint32_t env = Add("RDTEST_ACTIVITY_VAR", 3);
    EXPECT_EQ("before", GetText(env));
    Stream value("after", 256);
    ASSERT_EQ(0u, RDActivitySetPropertyStream(env, &value));
    EXPECT_STREQ("\"after\"", std::getenv("RDTEST_ACTIVITY_VAR")); // the platform quotes
    // Null removes the variable; reading it then gives a null value.
    ASSERT_EQ(0u, RDActivitySetPropertyStream(env, nullptr));
    EXPECT_EQ(nullptr, std::getenv("RDTEST_ACTIVITY_VAR"));
    EXPECT_EQ("", GetText(env));
    EXPECT_EQ(0, GetInt(env));
    // A value longer than 1024 bytes is read as its first 1024.
    const std::string longValue(1500, 'v');
    setenv("RDTEST_ACTIVITY_VAR", longValue.c_str(), 1);
    EXPECT_EQ(longValue.substr(0, 1024), GetText(env));
}

TEST_F(PropertyTest, ServerFieldsGoThroughTheServerManager) {
    const uint32_t field = Add("limit", 1);
    struct Case {
        uint32_t status;
        int32_t value;
        uint32_t result;
    } const cases[] = {{0, 42, 0}, {798, 0, 0}, {905, 0, 905}};
    for (const Case &c : cases) {
        Reply answer = Reply::Answer(c.status, "", 536);
        answer.bytes->replace(532, 3, std::string("42\0", 3));
        peer_.Script(answer);
        EXPECT_EQ(c.value, GetInt(field, c.result)) << c.status;
        const std::string request = peer_.LastRequest();
        EXPECT_EQ(kGetField, WordAt(request, 0));
        EXPECT_EQ(5u, WordAt(request, 16));
        EXPECT_EQ(std::string("limit\0", 6), request.substr(20, 6));
    }
    const int32_t value = 17;
    EXPECT_EQ(0u, RDActivitySetPropertyInt(field, &value));
    const std::string put = peer_.LastRequest();
    EXPECT_EQ(kPutField, WordAt(put, 0));
    EXPECT_EQ(std::string("17\0", 3), put.substr(532, 3));
}

TEST_F(PropertyTest, ListingGivesDeclarationsThenAddedNewestFirst) {
    Add("first", 2);
    Add("second", 3);
    struct Expected {
        uint32_t number, type, attributes;
        std::string name;
        uint32_t charset;
    } const expected[] = {
        {1, 1, 0x11, "Count", 256},
        {2, 6, 0, "Title", 256},
        {3, 2, 0, "Ratio", 256},
        {4, 5, 0, "When", 256},
        {5, 3, 0, "Cost", 256},
        {6, 4, 0, "Amount", 256},
        {0x10004, 6, 0, "Password", 65535},
        {0x30002, 6, 7, "Link", 65535},
        {0x10001, 6, 0, "Host", 256},
        {8, 3, 0, "second", 256},
        {7, 2, 0, "first", 256},
    };
    uint32_t mode = RDLIST_FIRST;
    for (const Expected &e : expected) {
        uint32_t number = 0, type = 0, attributes = 0;
        Stream name;
        ASSERT_EQ(0u, RDActivityListProperty(mode, &number, &type, &attributes, &name)) << e.name;
        mode = RDLIST_NEXT;
        EXPECT_EQ(e.number, number);
        EXPECT_EQ(e.type, type) << e.name;
        EXPECT_EQ(e.attributes, attributes) << e.name;
        EXPECT_EQ(e.name, name.Bytes());
        EXPECT_EQ(e.charset, name.s.charset) << e.name;
    }
    for (int i = 0; i < 2; ++i) {
        uint32_t number = 9, type = 9, attributes = 9;
        Stream name("stale", 256);
        EXPECT_EQ(12290u, RDActivityListProperty(RDLIST_NEXT, &number, &type, &attributes, &name));
        EXPECT_EQ(0u, number + type + attributes);
        EXPECT_EQ("", name.Bytes());
    }
    EXPECT_EQ(0u, RDActivityListProperty(RDLIST_FIRST, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(12292u, RDActivityListProperty(3, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(PropertyTest, LogNamesPropertiesByDeclarationThenAddedName) {
    const uint32_t added = Add("batch size", 2);
    struct Case {
        uint32_t number;
        const char *name;
    } const cases[] = {{1, "Count"},
                       {0x30002, "Link"},
                       {0x10001, "Host"},
                       {added, "batch size"},
                       {0x4321, "17185"}};
    for (const Case &c : cases) {
        RDActivityLogEx(12555, c.number, 0, 0, nullptr, nullptr, nullptr);
        Stream text;
        RDActivityGetLogLast(&text, nullptr, nullptr);
        EXPECT_EQ(std::string("ERROR: Property ") + c.name + " is invalid, unknown or refused.",
                  text.Bytes());
    }
}

TEST_F(PropertyTest, BooleanReadsAnIntOrTheDefault) {
    const uint32_t local = Add("flag", 2);
    const int32_t zero = 0;
    EXPECT_EQ(1u, RDActivityGetPropertyBoolean(1, 5)); // 7
    EXPECT_EQ(5u, RDActivityGetPropertyBoolean(local, 5));
    ASSERT_EQ(0u, RDActivitySetPropertyInt(local, &zero));
    EXPECT_EQ(0u, RDActivityGetPropertyBoolean(local, 5));
    EXPECT_EQ(5u, RDActivityGetPropertyBoolean(0x4321, 5));
    EXPECT_EQ(0u, RDActivityGetPropertyBoolean(0x30004, 5)); // a null value
}

TEST_F(PropertyTest, ArgumentsAreCheckedInOrder) {
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&field, RDTYPE_INT, 1));
    int32_t value = 0;
    EXPECT_EQ(12555u, RDActivitySetProperty(0, field));
    EXPECT_EQ(12809u, RDActivitySetProperty(1, 0));
    EXPECT_EQ(12555u, RDActivityGetProperty(0, field));
    EXPECT_EQ(12809u, RDActivityGetProperty(1, 0));
    EXPECT_EQ(12555u, RDActivitySetProperty(0x4321, field)); // neither declared nor added
    EXPECT_EQ(12555u, RDActivityGetPropertyInt(0, &value));
    EXPECT_EQ(12301u, RDActivityGetPropertyInt(1, nullptr));
    EXPECT_EQ(12301u, RDActivityGetPropertyStream(1, 256, nullptr));
    EXPECT_EQ(12555u, RDActivitySetPropertyInt(0, &value));
    EXPECT_EQ(0u, RDActivitySetProperty(1, field)); // a null value: nothing stored
    EXPECT_EQ(0u, RDFieldFree(field));
}

TEST_F(PropertyTest, EveryFunctionNeedsAnActivity) {
    ASSERT_EQ(0u, RDActivityTerm());
    Stream text;
    uint32_t number = 0;
    int32_t value = 7;
    double real = 7;
    RDCurrency cost{1, 1};
    RDDatetime when{1, 1};
    RDNumeric amount{};
    const std::vector<std::pair<const char *, std::function<uint32_t()>>> calls = {
        {"add", [&] { return RDActivityAddProperty(&text, 2, &number); }},
        {"set", [&] { return RDActivitySetProperty(1, 1); }},
        {"get", [&] { return RDActivityGetProperty(1, 1); }},
        {"list", [&] { return RDActivityListProperty(1, nullptr, nullptr, nullptr, nullptr); }},
        {"get int", [&] { return RDActivityGetPropertyInt(1, &value); }},
        {"get float", [&] { return RDActivityGetPropertyFloat(1, &real); }},
        {"get currency", [&] { return RDActivityGetPropertyCurrency(1, &cost); }},
        {"get numeric", [&] { return RDActivityGetPropertyNumeric(1, &amount); }},
        {"get datetime", [&] { return RDActivityGetPropertyDatetime(1, &when); }},
        {"get stream", [&] { return RDActivityGetPropertyStream(1, 256, &text); }},
        {"set int", [&] { return RDActivitySetPropertyInt(1, &value); }},
        {"set stream", [&] { return RDActivitySetPropertyStream(1, &text); }},
        {"run", [&] { return RDActivityRunActivity(&text, 0, nullptr); }},
        {"launch", [&] { return RDActivityLaunch(); }},
    };
    for (const auto &[what, call] : calls)
        EXPECT_EQ(RDSTATUS_NOACTIVITY, call()) << what;
    EXPECT_EQ(0, value); // Int and Float are cleared before the checks
    EXPECT_EQ(0.0, real);
    EXPECT_EQ(7u, RDActivityGetPropertyBoolean(1, 7));
}

TEST_F(PropertyTest, StandAloneActivityHasOnlyAddedProperties) {
    ASSERT_EQ(0u, RDActivityTerm());
    ASSERT_EQ(0u, RDActivityAlloc(0, nullptr, 0));
    const int32_t value = 4;
    EXPECT_EQ(12555u, RDActivitySetPropertyInt(1, &value));
    Stream name("remote", 256);
    uint32_t number = 0;
    EXPECT_EQ(12319u, RDActivityAddProperty(&name, 1, &number));
    const uint32_t local = Add("local", 2);
    EXPECT_EQ(1u, local);
    EXPECT_EQ(0u, RDActivitySetPropertyInt(local, &value));
    EXPECT_EQ(4, GetInt(local));
    EXPECT_EQ(0u, RDActivityFree());
}

TEST_F(PropertyTest, PropertyFunctionsSurviveAllocationFailures) {
    Stream title(std::string(300, 't'), 256), name("allocated", 256);
    Stream out, listed, weekly("weekly", 256);
    uint32_t number = 0;
    const ScopedEnv variable("RDTEST_ACTIVITY_VAR", "before");
    const uint32_t env = Add("RDTEST_ACTIVITY_VAR", 3);
    const std::vector<std::pair<const char *, std::function<uint32_t()>>> calls = {
        {"add", [&] { return RDActivityAddProperty(&name, 2, &number); }},
        {"set stream", [&] { return RDActivitySetPropertyStream(2, &title); }},
        {"set local", [&] { return RDActivitySetPropertyStream(number, &title); }},
        {"get stream", [&] { return RDActivityGetPropertyStream(2, RDCHARSET_UNICODE, &out); }},
        {"list", [&] { return RDActivityListProperty(1, nullptr, nullptr, nullptr, &listed); }},
        {"set environment", [&] { return RDActivitySetPropertyStream(env, &title); }},
        {"get environment", [&] { return RDActivityGetPropertyStream(env, 256, &out); }},
        {"run", [&] { return RDActivityRunActivity(&weekly, 0, nullptr); }},
    };
    for (const auto &[what, call] : calls) {
        ForEachAllocationFailure(call, [&, what = what](uint32_t status) {
            // The server manager's client may fail its exchange instead.
            EXPECT_TRUE(status == 258 || status == 782 || status == 783) << what << " " << status;
        });
    }
    EXPECT_EQ(std::string(300, 't'), GetText(2));
    EXPECT_EQ(std::string(300, 't'), GetText(number));
    EXPECT_EQ("\"" + std::string(300, 't') + "\"", GetText(env));
}

} // namespace
} // namespace rdxtest
