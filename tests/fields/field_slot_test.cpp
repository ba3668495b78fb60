// SPDX-License-Identifier: Apache-2.0
// A stream field's slot filled value after value: it keeps its block while
// the values fit, takes bytes straight from the caller (RDFieldSetBytes),
// and fails as the stream conversion does.
#include "field_test_env.h"
#include "rdx_fieldvalue.h"

#include <functional>

namespace {

using fieldtest::FieldsTest;
using rdxtest::ForEachAllocationFailure;
using rdxtest::Stream;

struct Field {
    uint32_t h = 0;
    Field(uint32_t type, uint32_t count = 1) { EXPECT_EQ(0u, RDFieldAlloc(&h, type, count)); }
    ~Field() { RDFieldFree(h); }
    operator uint32_t() const { return h; }
};

RDStream *Slot(uint32_t field, uint32_t index) {
    void *value = nullptr;
    EXPECT_EQ(0u, RDFieldGetBuffer(field, index, &value, nullptr));
    return static_cast<RDStream *>(value);
}

std::string Text(uint32_t field, uint32_t index) {
    const RDStream *slot = Slot(field, index);
    return slot->data == nullptr ? "<none>"
                                 : std::string(reinterpret_cast<char *>(slot->data), slot->length);
}

uint32_t Put(uint32_t field, const std::string &text, uint32_t index = 1) {
    return RDFieldSetBytes(field, index, RDCHARSET_INTERCHANGE, text.data(),
                           static_cast<uint32_t>(text.size()));
}

// Whether op stored without any allocation: the next one is armed to fail,
// and op succeeds.
bool WithoutAllocation(const std::function<uint32_t()> &op) {
    RDTestMemFailNth(1);
    const uint32_t status = op();
    const bool pending = RDTestMemFailPending() != 0;
    RDTestMemFailNth(0);
    return pending && status == 0;
}

TEST_F(FieldsTest, SlotKeepsItsBlockForValuesThatFit) {
    Field t(RDTYPE_TEXT);
    ASSERT_EQ(0u, Put(t, std::string(40, 'x')));
    const uint8_t *block = Slot(t, 1)->data;
    // Shorter values, the empty one and a null in between: the same block,
    // no allocation, each value whole with its terminator.
    for (const std::string &value :
         {std::string("short"), std::string(), std::string(40, 'y'), std::string("a\0b", 3)}) {
        ASSERT_EQ(0u, RDFieldSetNull(t, 1, 1));
        EXPECT_TRUE(WithoutAllocation([&] { return Put(t, value); })) << value.size();
        EXPECT_EQ(block, Slot(t, 1)->data);
        EXPECT_EQ(value, Text(t, 1));
        EXPECT_EQ(0, Slot(t, 1)->data[value.size()]);
        EXPECT_EQ(0u, RDFieldIsNull(t, 1));
    }
    // A longer one grows the block; a far shorter one after a large value
    // gives the room back rather than keeping it.
    ASSERT_EQ(0u, Put(t, std::string(41, 'z')));
    EXPECT_EQ(std::string(41, 'z'), Text(t, 1));
    ASSERT_EQ(0u, Put(t, std::string(5000, 'L')));
    EXPECT_FALSE(WithoutAllocation([&] { return Put(t, "tiny"); }));
    ASSERT_EQ(0u, Put(t, "tiny"));
    EXPECT_EQ("tiny", Text(t, 1));
    // Values of the stream setter go the same way.
    Stream s(std::string(4, 'q'), RDCHARSET_INTERCHANGE);
    EXPECT_TRUE(WithoutAllocation([&] { return RDFieldSetStream(t, 1, &s); }));
    EXPECT_EQ("qqqq", Text(t, 1));
}

TEST_F(FieldsTest, SlotTakesItsOwnBytes) {
    Field t(RDTYPE_TEXT);
    ASSERT_EQ(0u, Put(t, "abcdefghijklmnopqrstuvwxyz"));
    const RDStream *slot = Slot(t, 1);
    ASSERT_EQ(0u, RDFieldSetBytes(t, 1, RDCHARSET_INTERCHANGE, slot->data + 3, 4));
    EXPECT_EQ("defg", Text(t, 1));
    ASSERT_EQ(0u, RDFieldSetStream(t, 1, Slot(t, 1)));
    EXPECT_EQ("defg", Text(t, 1));
}

TEST_F(FieldsTest, SetBytesChecksAsTheStreamSetterDoes) {
    Field t(RDTYPE_TEXT, 2), i(RDTYPE_INT), c(RDTYPE_CURRENCY);
    EXPECT_EQ(RDSTATUS_NOFIELD, RDFieldSetBytes(0, 1, RDCHARSET_INTERCHANGE, "a", 1));
    EXPECT_EQ(RDSTATUS_INDEXZERO, RDFieldSetBytes(t, 0, RDCHARSET_INTERCHANGE, "a", 1));
    EXPECT_EQ(RDSTATUS_BEYONDEND, RDFieldSetBytes(t, 3, RDCHARSET_INTERCHANGE, "a", 1));
    EXPECT_EQ(RDSTATUS_NOSTREAM, RDFieldSetBytes(t, 1, RDCHARSET_INTERCHANGE, nullptr, 1));
    EXPECT_EQ(RDSTATUS_BADCHARSET, RDFieldSetBytes(t, 1, 0, "a", 1));
    EXPECT_EQ(1u, RDFieldIsNull(t, 1)); // refused values leave the null alone
    ASSERT_EQ(0u, RDFieldSetBytes(t, 2, RDCHARSET_INTERCHANGE, nullptr, 0));
    EXPECT_EQ("", Text(t, 2));
    EXPECT_EQ(0u, RDFieldIsNull(t, 2));

    // Other types convert the text, and refuse what is not theirs.
    ASSERT_EQ(0u, Put(i, "-17"));
    int32_t n = 0;
    ASSERT_EQ(0u, RDFieldGetInt(i, 1, &n, nullptr));
    EXPECT_EQ(-17, n);
    ASSERT_EQ(0u, RDFieldSetNull(i, 1, 1));
    EXPECT_EQ(RDSTATUS_NOINT, Put(i, "x"));
    EXPECT_EQ(1u, RDFieldIsNull(i, 1));
    ASSERT_EQ(0u, Put(c, "12.5"));
    RDCurrency amount{};
    ASSERT_EQ(0u, RDFieldGetCurrency(c, 1, &amount, nullptr));
    Stream back;
    ASSERT_EQ(0u, RDFieldGetStream(c, 1, RDCHARSET_INTERCHANGE, &back, nullptr));
    EXPECT_EQ("12.5", back.Bytes().substr(0, 4));

    // A binary kind into a text field keeps its kind, as the stream does.
    ASSERT_EQ(0u, RDFieldSetBytes(t, 1, RDKIND_BINARY, "\x01\x02", 2));
    EXPECT_EQ(RDKIND_BINARY, Slot(t, 1)->charset);
    EXPECT_EQ(std::string("\x01\x02"), Text(t, 1));
}

// A maximum length holds as with the stream conversion: cut with
// truncation, else refused (12801) with the slot left without storage.
TEST_F(FieldsTest, SlotKeepsItsMaximumLength) {
    Field cut(RDTYPE_TEXT), strict(RDTYPE_TEXT), fixed(RDTYPE_TEXT);
    ASSERT_EQ(0u, RDFieldSetFormatStream(cut, RDSTREAM_TRUNCATE, 6, RDCHARSET_INTERCHANGE));
    ASSERT_EQ(0u, RDFieldSetFormatStream(strict, 0, 6, RDCHARSET_INTERCHANGE));
    ASSERT_EQ(0u, RDFieldSetFormatStream(fixed, RDSTREAM_FIXED | RDSTREAM_TRUNCATE, 8,
                                         RDCHARSET_INTERCHANGE));
    ASSERT_EQ(0u, Put(cut, "abcdefgh"));
    EXPECT_EQ("abcdef", Text(cut, 1));
    ASSERT_EQ(0u, Put(strict, "abc"));
    EXPECT_EQ(RDSTATUS_NOFIT, Put(strict, "abcdefgh"));
    EXPECT_EQ("<none>", Text(strict, 1));
    EXPECT_EQ(6u, Slot(strict, 1)->maxLength);
    ASSERT_EQ(0u, Put(strict, "xyz"));
    EXPECT_EQ("xyz", Text(strict, 1));
    // Fixed storage is sized once for its maximum length.
    ASSERT_EQ(0u, Put(fixed, "12"));
    for (const char *value : {"12345678", "", "1", "123456789"}) {
        EXPECT_TRUE(WithoutAllocation([&] { return Put(fixed, value); })) << value;
        EXPECT_EQ(std::string(value).substr(0, 8), Text(fixed, 1));
    }
}

// A value that does not fit the block needs one: when it fails the status
// is 258 and the slot is left without storage, its null state untouched;
// the next value is stored again. Nothing leaks (LeakSanitizer).
TEST_F(FieldsTest, SlotGrowthFailsWithoutStorageLeft) {
    Field t(RDTYPE_TEXT);
    ASSERT_EQ(0u, Put(t, "before"));
    const std::string longer(300, 'g');
    const int failures = ForEachAllocationFailure([&] { return Put(t, longer); },
                                                  [&](uint32_t status) {
                                                      EXPECT_EQ(RDSTATUS_NOMEMORY, status);
                                                      EXPECT_EQ("<none>", Text(t, 1));
                                                      EXPECT_EQ(0u, RDFieldIsNull(t, 1));
                                                      ASSERT_EQ(0u, Put(t, "before"));
                                                  });
    EXPECT_EQ(1, failures);
    EXPECT_EQ(longer, Text(t, 1));
}

} // namespace
