// SPDX-License-Identifier: Apache-2.0
// The description requests: items sent from byte 24 of a block that grows in
// 2048-byte steps, items read from byte 25 within the bytes received.
#include "csmgr_test_env.h"

#include "activity/property_set.h"
#include "rdxapi.h"

#include <functional>

namespace csmgrtest {
namespace {

// A property set released at the end of the scope.
struct Set {
    PropertySet *set = nullptr;
    Set() { EXPECT_EQ(0u, rdx::PropertySetCreate(&set)); }
    ~Set() { rdx::PropertySetFree(set); }
};

std::string Item(uint32_t type, uint32_t charset, uint32_t number, const std::string &value,
                 uint32_t size) {
    return Word(type) + Word(charset) + Word(number) + Word(size) + value;
}
std::string TextItem(uint32_t type, uint32_t charset, uint32_t number, const std::string &text) {
    return Item(type, charset, number, text + '\0', static_cast<uint32_t>(text.size() + 1));
}

TEST_F(PeerTest, EmptyDescriptionSendsOnlyTheClosingItem) {
    Set set;
    EXPECT_EQ(0u, CSMgrPutDescription(12, set.set));
    EXPECT_EQ(Image(11, 2048, 0, {{20, Word(12)}}), peer_.LastRequest());
}

TEST_F(PeerTest, DescriptionSendsIntDatetimeAndTextsOnly) {
    Set set;
    const int32_t number = -2;
    const RDDatetime when{123456, 2460000};
    const double real = 1.5;
    Stream text("abc", 256), empty("", 256), rich("\x81\x02", RDKIND_RICHTEXT),
        binary("b", RDKIND_BINARY);
    ASSERT_EQ(0u, rdx::PropertySetAdd(set.set, 0x30001, 1, &number));
    ASSERT_EQ(0u, rdx::PropertySetAdd(set.set, 0x30002, 2, &real));
    ASSERT_EQ(0u, rdx::PropertySetAdd(set.set, 0x30003, 5, &when));
    ASSERT_EQ(0u, rdx::PropertySetAdd(set.set, 0x30004, 6, &text));
    ASSERT_EQ(0u, rdx::PropertySetAdd(set.set, 0x30005, 6, &empty));
    ASSERT_EQ(0u, rdx::PropertySetAdd(set.set, 0x30006, 7, &rich));
    ASSERT_EQ(0u, rdx::PropertySetAdd(set.set, 0x30007, 7, &binary));
    ASSERT_EQ(0u, rdx::PropertySetAdd(set.set, 0x30008, 1, nullptr));
    EXPECT_EQ(0u, CSMgrPutDescription(3, set.set));
    const std::string items = Item(1, 0, 0x30001, Word(0xFFFFFFFE), 4) +
                              Item(5, 0, 0x30003, Word(123456) + Word(2460000), 8) +
                              TextItem(6, 256, 0x30004, "abc") +
                              TextItem(7, RDKIND_RICHTEXT, 0x30006, "\x81\x02");
    EXPECT_EQ(Image(11, 2048, 0, {{20, Word(3)}, {24, items}}), peer_.LastRequest());
}

TEST_F(PeerTest, LargeDescriptionGrowsInSteps) {
    Set set;
    std::string items;
    for (uint32_t i = 0; i < 30; ++i) {
        const std::string value(100, static_cast<char>('a' + i % 26));
        Stream text(value, 256);
        ASSERT_EQ(0u, rdx::PropertySetAdd(set.set, 0x40000 + i, 6, &text));
        items += TextItem(6, 256, 0x40000 + i, value);
    }
    ASSERT_GT(items.size() + 24 + 16, 2048u);
    EXPECT_EQ(0u, CSMgrPutDescription(3, set.set));
    EXPECT_EQ(Image(11, 4096, 0, {{20, Word(3)}, {24, items}}), peer_.LastRequest());
}

TEST_F(PeerTest, PutDescriptionSurvivesAllocationFailures) {
    Set set;
    for (uint32_t i = 0; i < 25; ++i) {
        Stream text(std::string(100, 't'), 256);
        ASSERT_EQ(0u, rdx::PropertySetAdd(set.set, 0x40000 + i, 6, &text));
    }
    int failures = rdxtest::ForEachAllocationFailure(
        [&] { return CSMgrPutDescription(3, set.set); },
        [](uint32_t status) {
            EXPECT_TRUE(status == 258 || status == 782 || status == 783) << status;
        });
    EXPECT_GT(failures, 1);
}

TEST_F(PeerTest, GetDescriptionReadsItemsFromByte25) {
    const std::string items =
        Item(1, 0, 0x30001, Word(7), 4) + Item(5, 0, 0x30002, Word(99) + Word(2460000), 8) +
        TextItem(6, 256, 0x30003, "hello") +
        Item(2, 0, 0x30004, std::string("\0\0\0\0\0\0\xF8?", 8), 8) +
        TextItem(7, RDKIND_RICHTEXT, 0x30005, "\x81\x02") + Item(0, 0, 0, "", 0);
    peer_.Script(AnswerWith(25 + items.size(), {{25, items}}));
    Set set;
    ASSERT_EQ(0u, CSMgrGetDescription(8, set.set));
    EXPECT_EQ(Image(10, 2048, 0, {{20, Word(8)}}), peer_.LastRequest());
    ASSERT_EQ(5u, rdx::PropertySetCount(set.set));
    EXPECT_EQ(7, rdx::PropertySetReadInt(set.set, 0x30001));
    uint32_t type = 0;
    void *value = nullptr;
    ASSERT_EQ(0u, rdx::PropertySetFind(set.set, 0x30002, &type, &value));
    EXPECT_EQ(99u, static_cast<RDDatetime *>(value)->ticks);
    ASSERT_EQ(0u, rdx::PropertySetFind(set.set, 0x30003, &type, &value));
    EXPECT_EQ("hello", Text(*static_cast<RDStream *>(value)));
    EXPECT_EQ(256u, static_cast<RDStream *>(value)->charset);
    ASSERT_EQ(0u, rdx::PropertySetFind(set.set, 0x30004, &type, &value));
    EXPECT_EQ(1.5, *static_cast<double *>(value));
    ASSERT_EQ(0u, rdx::PropertySetFind(set.set, 0x30005, &type, &value));
    EXPECT_EQ(RDKIND_RICHTEXT, static_cast<RDStream *>(value)->charset);
}

TEST_F(PeerTest, GetDescriptionGrowsForALongAnswer) {
    std::string items;
    for (uint32_t i = 0; i < 40; ++i)
        items += TextItem(6, 256, 0x50000 + i, std::string(100, 'd'));
    items += Item(0, 0, 0, "", 0);
    ASSERT_GT(items.size(), 4096u);
    peer_.Script(AnswerWith(25 + items.size(), {{25, items}}));
    Set set;
    ASSERT_EQ(0u, CSMgrGetDescription(8, set.set));
    EXPECT_EQ(40u, rdx::PropertySetCount(set.set));
}

TEST_F(PeerTest, MalformedDescriptionsEndTheWalk) {
    const std::string good = Item(1, 0, 0x30001, Word(7), 4);
    struct Case {
        const char *what;
        std::string items;
        uint32_t added;
    } const cases[] = {
        {"header only", "", 0},
        {"no closing item", good, 1},
        {"closing item cut", good + Word(0), 1},
        {"text of size 0", good + Item(6, 256, 2, "", 0) + Item(0, 0, 0, "", 0), 1},
        {"value past the end", good + Item(6, 256, 2, "abc", 50), 1},
        {"size that wraps", good + Item(6, 256, 2, "abc", 0xFFFFFFF0u) + Item(0, 0, 0, "", 0), 1},
        {"int of 5 bytes", Item(1, 0, 2, Word(1) + "x", 5) + Item(0, 0, 0, "", 0), 0},
        {"datetime of 4 bytes", Item(5, 0, 2, Word(1), 4) + Item(0, 0, 0, "", 0), 0},
        {"unknown type", good + Item(9, 0, 2, Word(1), 4) + Item(0, 0, 0, "", 0), 1},
    };
    for (const Case &c : cases) {
        peer_.Script(c.items.empty() ? Reply::Answer(0)
                                     : AnswerWith(25 + c.items.size(), {{25, c.items}}));
        Set set;
        EXPECT_EQ(783u, CSMgrGetDescription(1, set.set)) << c.what;
        EXPECT_EQ(c.added, rdx::PropertySetCount(set.set)) << c.what;
    }
    EXPECT_EQ(779u, CSMgrGetDescription(1, nullptr));
    EXPECT_EQ(779u, CSMgrPutDescription(1, nullptr));
}

TEST_F(PeerTest, FailureStatusOfADescriptionAnswerAddsNothing) {
    peer_.Script(Reply::Answer(798));
    Set set;
    EXPECT_EQ(798u, CSMgrGetDescription(1, set.set));
    EXPECT_EQ(0u, rdx::PropertySetCount(set.set));
}

} // namespace
} // namespace csmgrtest
