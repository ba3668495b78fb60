// SPDX-License-Identifier: Apache-2.0
// Property sets: add, find by the qualifier rule, replace by remove and add,
// remove, walks across growth, every value type, and failed allocations.
#include "../support/alloc_failure.h"
#include "../values/rdx_test_env.h"
#include "activity/property_set.h"

#include <cstring>
#include <vector>

namespace {

using namespace rdx;

class PropertySetTest : public rdxtest::SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        ASSERT_EQ(0u, PropertySetCreate(&set_));
    }
    void TearDown() override {
        PropertySetFree(set_);
        SystemTest::TearDown();
    }
    void AddInt(uint32_t number, int32_t value) {
        ASSERT_EQ(0u, PropertySetAdd(set_, number, 1, &value));
    }
    int32_t FoundInt(uint32_t number) {
        uint32_t type = 0;
        void *value = nullptr;
        if (PropertySetFind(set_, number, &type, &value) != 0) return -1;
        EXPECT_EQ(1u, type);
        return *static_cast<int32_t *>(value);
    }

    PropertySet *set_ = nullptr;
};

TEST_F(PropertySetTest, CreateRefusesNullOut) {
    EXPECT_EQ(12302u, PropertySetCreate(nullptr));
    EXPECT_EQ(20u, set_->capacity);
    EXPECT_EQ(0u, set_->count);
    EXPECT_EQ(0u, set_->cursor);
}

TEST_F(PropertySetTest, StoredSizesFollowTheRecords) {
    const uint32_t expected[] = {
        0, 4, 8, 8, sizeof(RDNumeric), sizeof(RDDatetime), sizeof(RDStream), sizeof(RDStream), 0};
    for (uint32_t type = 0; type < std::size(expected); ++type)
        EXPECT_EQ(expected[type], PropertyValueSize(type)) << type;
    int32_t any = 0;
    EXPECT_EQ(12810u, PropertySetAdd(set_, 1, 0, &any));
    EXPECT_EQ(12810u, PropertySetAdd(set_, 1, 8, &any));
    EXPECT_EQ(0u, PropertySetCount(set_));
}

TEST_F(PropertySetTest, QualifierRule) {
    struct Case {
        uint32_t stored, requested;
        bool found;
    } cases[] = {
        {0x00010001, 0x01010001, true},  {0x00010001, 0x05010001, true},
        {0x00010001, 0x00010001, true},  {0x02010001, 0x01010001, false},
        {0x02010001, 0x02010001, true},  {0x02010001, 0x00010001, false},
        {0x00010001, 0x00010002, false}, {0x00010001, 0x00030001, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.found, PropertyNumberMatches(c.stored, c.requested))
            << std::hex << c.stored << " asked as " << c.requested;
    }
    AddInt(0x02000007, 2);
    AddInt(0x00000007, 0);
    EXPECT_EQ(2, FoundInt(0x02000007));
    EXPECT_EQ(0, FoundInt(0x01000007)); // skips the qualified item
}

TEST_F(PropertySetTest, FirstOfTwoWinsAndRemoveUncoversTheSecond) {
    AddInt(5, 1);
    AddInt(5, 2);
    AddInt(6, 3);
    EXPECT_EQ(1, FoundInt(5));
    ASSERT_EQ(0u, PropertySetRemove(set_, 5));
    EXPECT_EQ(2, FoundInt(5));
    EXPECT_EQ(2u, PropertySetCount(set_));
    EXPECT_EQ(3, FoundInt(6));
    ASSERT_EQ(0u, PropertySetRemove(set_, 5));
    EXPECT_EQ(12555u, PropertySetRemove(set_, 5));
    EXPECT_EQ(0u, set_->items[1].number); // the freed slot is zeroed
    EXPECT_EQ(nullptr, set_->items[1].value);
}

TEST_F(PropertySetTest, MissesClearTheOuts) {
    uint32_t type = 9;
    void *value = &type;
    EXPECT_EQ(12555u, PropertySetFind(set_, 3, &type, &value));
    EXPECT_EQ(0u, type);
    EXPECT_EQ(nullptr, value);
    type = 9;
    EXPECT_EQ(12555u, PropertySetFind(nullptr, 3, &type, nullptr));
    EXPECT_EQ(0u, type);
    EXPECT_EQ(12555u, PropertySetAdd(nullptr, 3, 1, &type));
    EXPECT_EQ(12555u, PropertySetRemove(nullptr, 3));
    EXPECT_EQ(0u, PropertySetCount(nullptr));
    EXPECT_EQ(12290u, PropertySetWalk(nullptr, true, nullptr, nullptr, nullptr));
    PropertySetFree(nullptr);
}

TEST_F(PropertySetTest, WalkAcrossGrowth) {
    const uint32_t steps[][2] = {{21, 40}, {41, 80}, {81, 160}, {161, 260}, {261, 360}};
    uint32_t added = 0;
    for (const auto &step : steps) {
        for (; added < step[0]; ++added)
            AddInt(added + 1, static_cast<int32_t>((added + 1) * 10));
        EXPECT_EQ(step[1], set_->capacity) << "after " << added << " adds";
        for (uint32_t i = set_->count; i < set_->capacity; ++i)
            ASSERT_EQ(0u, set_->items[i].number);
    }
    uint32_t number = 0, type = 0, seen = 0;
    void *value = nullptr;
    for (bool restart = true; PropertySetWalk(set_, restart, &number, &type, &value) == 0;
         restart = false) {
        ++seen;
        ASSERT_EQ(seen, number);
        ASSERT_EQ(static_cast<int32_t>(seen * 10), *static_cast<int32_t *>(value));
    }
    EXPECT_EQ(added, seen);
    EXPECT_EQ(12290u, PropertySetWalk(set_, false, nullptr, nullptr, nullptr));
    ASSERT_EQ(0u, PropertySetWalk(set_, true, &number, nullptr, nullptr));
    EXPECT_EQ(1u, number); // restarted after the end
}

TEST_F(PropertySetTest, EveryTypeIsCopied) {
    int32_t i = -7;
    double f = 2.5;
    int64_t c = 123456789;
    RDNumeric n{};
    std::memset(&n, 0x5A, sizeof n);
    RDDatetime d{};
    std::memset(&d, 0x33, sizeof d);
    rdxtest::Stream text("some text", 256), bytes(std::string("\0\1\2", 3), RDKIND_BINARY);
    const void *values[] = {&i, &f, &c, &n, &d, &text.s, &bytes.s};
    for (uint32_t type = 1; type <= 7; ++type)
        ASSERT_EQ(0u, PropertySetAdd(set_, type, type, values[type - 1]));
    RDStreamDataSet(&text.s, 256, "changed", 7); // the set holds its own copy
    for (uint32_t type = 1; type <= 5; ++type) {
        void *stored = nullptr;
        uint32_t storedType = 0;
        ASSERT_EQ(0u, PropertySetFind(set_, type, &storedType, &stored));
        EXPECT_EQ(type, storedType);
        EXPECT_NE(values[type - 1], stored);
        EXPECT_EQ(0, std::memcmp(values[type - 1], stored, PropertyValueSize(type))) << type;
    }
    void *stored = nullptr;
    ASSERT_EQ(0u, PropertySetFind(set_, 6, nullptr, &stored));
    auto *copy = static_cast<RDStream *>(stored);
    EXPECT_EQ("some text", std::string(reinterpret_cast<char *>(copy->data), copy->length));
    EXPECT_EQ(256u, copy->charset);
    ASSERT_EQ(0u, PropertySetFind(set_, 7, nullptr, &stored));
    EXPECT_EQ(3u, static_cast<RDStream *>(stored)->length);
    EXPECT_EQ(0u, PropertySetRemove(set_, 6)); // the stream data goes with it
}

TEST_F(PropertySetTest, ReadIntAndFlag) {
    AddInt(1, 7);
    AddInt(2, 0);
    ASSERT_EQ(0u, PropertySetAdd(set_, 3, 1, nullptr)); // an Int without a value
    double f = 1.0;
    ASSERT_EQ(0u, PropertySetAdd(set_, 4, 2, &f));
    struct Case {
        uint32_t number;
        int32_t readInt;
        uint32_t flag;
    } cases[] = {{1, 7, 1}, {2, 0, 0}, {3, 0, 9}, {4, 0, 9}, {5, 0, 9}};
    for (const Case &c : cases) {
        EXPECT_EQ(c.readInt, PropertySetReadInt(set_, c.number)) << c.number;
        EXPECT_EQ(c.flag, PropertySetReadFlag(set_, c.number, 9)) << c.number;
    }
    EXPECT_EQ(0, PropertySetReadInt(nullptr, 1));
    EXPECT_EQ(4u, PropertySetReadFlag(nullptr, 1, 4));
}

TEST_F(PropertySetTest, FailedAddLeavesTheSetUnchanged) {
    for (uint32_t n = 1; n <= 20; ++n)
        AddInt(n, 1);
    rdxtest::Stream text("a value", 256);
    const int failures = rdtest::ForEachAllocationFailure(
        [&] { return PropertySetAdd(set_, 99, 6, &text.s); },
        [&](uint32_t status) {
            EXPECT_EQ(258u, status);
            EXPECT_EQ(20u, PropertySetCount(set_));
            EXPECT_EQ(12555u, PropertySetFind(set_, 99, nullptr, nullptr));
        });
    EXPECT_GE(failures, 3); // the value area, the stream data, the grown array
    EXPECT_EQ(21u, PropertySetCount(set_));
}

TEST_F(PropertySetTest, FailedCreateGivesNoSet) {
    PropertySet *made = nullptr;
    rdtest::ForEachAllocationFailure(
        [&] {
            PropertySetFree(made);
            made = nullptr;
            return PropertySetCreate(&made);
        },
        [&](uint32_t status) {
            EXPECT_EQ(258u, status);
            EXPECT_EQ(nullptr, made);
        });
    PropertySetFree(made);
}

} // namespace
