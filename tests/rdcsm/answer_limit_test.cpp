// SPDX-License-Identifier: Apache-2.0
// Nothing is stored that could not be sent back: a field value or a
// description whose answer would be longer than the largest message the
// sockets carry is refused when it is put, and an answer that is too long
// anyway is refused at once rather than left unanswered.
#include "rdcsm_test_env.h"

#include "message_limit.h"
#include "rdx_status.h"

namespace rdcsmtest {
namespace {

constexpr uint32_t kText = 0x20001, kMore = 0x20002;

std::string Letters(std::size_t size, int seed) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + (i * 7 + seed) % 26);
    return text;
}

// The longest field value whose answer (533 bytes and whole 2048-byte
// pieces) fits one message.
std::size_t LargestValue() {
    return (rdcsm::MessageLimit() - 533) / 2048 * 2048;
}

// Long texts compared without printing them.
::testing::AssertionResult Same(const std::string &expected, const std::string &actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        ++at;
    return ::testing::AssertionFailure() << "texts of " << expected.size() << " and "
                                         << actual.size() << " bytes differ from byte " << at;
}

class LimitTest : public ServerTest {
  protected:
    void SetUp() override {
        ServerTest::SetUp();
        handle_ = Define(rdcsm::kActivity, "big", {});
        name_ = std::make_unique<Stream>("Value", 256);
        ASSERT_EQ(0u, RDFieldAlloc(&field_, RDTYPE_TEXT, 1));
    }
    void TearDown() override {
        RDFieldFree(field_);
        name_.reset();
        ServerTest::TearDown();
    }
    uint32_t Put(const std::string &value) {
        EXPECT_EQ(0u, RDFieldSetStream(field_, 1, &Stream(value, 256)));
        return CSMgrPutField(handle_, Name(), field_);
    }
    std::string Get() {
        EXPECT_EQ(0u, RDFieldSetStream(field_, 1, &Stream("", 256)));
        EXPECT_EQ(0u, CSMgrGetField(handle_, Name(), field_));
        Stream back;
        EXPECT_EQ(0u, RDFieldGetStream(field_, 1, 256, &back, nullptr));
        return back.Bytes();
    }

    RDStream *Name() { return &*name_; }

    uint32_t handle_ = 0, field_ = 0;
    std::unique_ptr<Stream> name_; // made once the system is started
};

TEST_F(LimitTest, TheLimitIsWhatOneMessageCarries) {
    const uint32_t limit = rdcsm::MessageLimit();
    EXPECT_GE(limit, 64u << 10);
    EXPECT_LE(limit, rdcsm::kMaxRequest);
    EXPECT_EQ(limit, rdcsm::MeasureMessageLimit(rdcsm::kMaxRequest));
    // Below the whole measure, the measure is what was asked.
    EXPECT_EQ(50000u, rdcsm::MeasureMessageLimit(50000));
}

TEST_F(LimitTest, FieldValuesUpToTheLimitComeBackLongerOnesAreRefused) {
    const std::string largest = Letters(LargestValue(), 1);
    ASSERT_EQ(0u, Put(largest));
    EXPECT_TRUE(Same(largest, Get()));
    EXPECT_EQ(RDSTATUS_CSMTOOLARGE, Put(Letters(largest.size() + 1, 2)));
    EXPECT_TRUE(Same(largest, Get()));

    // The same bound for a file's contents.
    rdtest::WriteFile(home_.Path("over.txt"), Letters(largest.size() + 1, 3));
    EXPECT_EQ(RDSTATUS_CSMTOOLARGE,
              CSMgrFileField(handle_, Name(), home_.Path("over.txt").c_str()));
    EXPECT_TRUE(Same(largest, Get()));
    const std::string fits = Letters(largest.size(), 4);
    rdtest::WriteFile(home_.Path("fits.txt"), fits);
    ASSERT_EQ(0u, CSMgrFileField(handle_, Name(), home_.Path("fits.txt").c_str()));
    EXPECT_TRUE(Same(fits, Get()));
}

TEST_F(LimitTest, APutThatWouldOutgrowTheAnswerLeavesTheDescription) {
    const std::size_t part = rdcsm::MessageLimit() / 5 * 3;
    Set first;
    ASSERT_EQ(0u, rdx::PropertySetAdd(first.set, kText, 6, &Stream(Letters(part, 5), 256)));
    ASSERT_EQ(0u, CSMgrPutDescription(handle_, first.set));
    Set second;
    ASSERT_EQ(0u, rdx::PropertySetAdd(second.set, kMore, 6, &Stream(Letters(part, 6), 256)));
    EXPECT_EQ(RDSTATUS_CSMTOOLARGE, CSMgrPutDescription(handle_, second.set));
    // Replacing the item by one of its size still fits.
    Set replace;
    ASSERT_EQ(0u, rdx::PropertySetAdd(replace.set, kText, 6, &Stream(Letters(part, 7), 256)));
    ASSERT_EQ(0u, CSMgrPutDescription(handle_, replace.set));

    Set description;
    ASSERT_EQ(0u, CSMgrGetDescription(handle_, description.set));
    uint32_t type = 0;
    void *value = nullptr;
    ASSERT_EQ(0u, rdx::PropertySetFind(description.set, kText, &type, &value));
    const auto *text = static_cast<const RDStream *>(value);
    EXPECT_TRUE(Same(Letters(part, 7),
                     std::string(reinterpret_cast<const char *>(text->data), text->length)));
    EXPECT_NE(0u, rdx::PropertySetFind(description.set, kMore, &type, &value));
}

TEST_F(LimitTest, AStoredAnswerTooLongIsRefusedNotLeftUnanswered) {
    // Stored beside the server, as an older version could have stored it.
    const uint32_t handle =
        Define(rdcsm::kActivity, "huge", {TextItem(kText, Letters(rdcsm::MessageLimit(), 8))});
    Set description;
    EXPECT_EQ(RDSTATUS_CSMTOOLARGE, CSMgrGetDescription(handle, description.set));
    uint64_t time = 0;
    EXPECT_EQ(0u, CSMgrTime(&time));
}

} // namespace
} // namespace rdcsmtest
