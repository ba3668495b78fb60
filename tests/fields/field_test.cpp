// SPDX-License-Identifier: Apache-2.0
// Free-standing fields: allocation and handles, flags and formats, value
// buffers and null indicators.
#include "field_test_env.h"

#include <climits>
#include <tuple>

namespace {

using fieldtest::FieldsTest;

constexpr uint32_t kStreamSize = sizeof(RDStream);

TEST_F(FieldsTest, AllocationGivesZeroedNullValuesOfTheRecordSizes) {
    const std::tuple<uint32_t, uint32_t> types[] = {{RDTYPE_INT, 4},
                                                    {RDTYPE_FLOAT, 8},
                                                    {RDTYPE_CURRENCY, 8},
                                                    {RDTYPE_NUMERIC, 48},
                                                    {RDTYPE_DATETIME, 8},
                                                    {RDTYPE_TEXT, kStreamSize},
                                                    {RDTYPE_BINARY, kStreamSize}};
    for (const auto &[type, size] : types) {
        uint32_t h = 0;
        ASSERT_EQ(0u, RDFieldAlloc(&h, type, 3));
        EXPECT_EQ(type, RDFieldGetType(h));
        EXPECT_EQ(3u, RDFieldGetValueCount(h));
        EXPECT_EQ(size, RDFieldGetTypeSize(h));
        EXPECT_EQ(0u, RDFieldGetFlags(h));
        EXPECT_EQ(0u, RDFieldGetVirtualCode(h));
        for (uint32_t i = 1; i <= 3; ++i) {
            void *value = nullptr;
            uint32_t *null = nullptr;
            ASSERT_EQ(0u, RDFieldGetBuffer(h, i, &value, &null));
            EXPECT_EQ(std::string(size, '\0'), fieldtest::Bytes(value, size));
            EXPECT_EQ(1u, *null);
            EXPECT_EQ(1u, RDFieldIsNull(h, i));
        }
        EXPECT_EQ(0u, RDFieldFree(h));
        EXPECT_EQ(0u, RDFieldGetType(h)); // gone
    }
    EXPECT_EQ(24u, kStreamSize); // 64-bit build: the record, not a 32-bit layout
}

TEST_F(FieldsTest, AllocationRefusals) {
    const std::tuple<uint32_t, uint32_t, uint32_t> cases[] = {
        {0, 1, 12810},
        {8, 1, 12810},
        {RDTYPE_INT, 0, 12298},
        {RDTYPE_NUMERIC, 0x7FFFFFFF / 48 + 1, 258}, // would wrap
        {RDTYPE_INT, UINT32_MAX, 258},
        {RDTYPE_TEXT, 0x20000000, 258}};
    for (const auto &[type, count, status] : cases) {
        uint32_t h = 99;
        EXPECT_EQ(status, RDFieldAlloc(&h, type, count)) << type << " " << count;
        EXPECT_EQ(0u, h);
    }
    EXPECT_EQ(12302u, RDFieldAlloc(nullptr, RDTYPE_INT, 1));
}

TEST_F(FieldsTest, HandlesIncreaseAreNeverReusedAndRestartWithASetUp) {
    uint32_t a = 0, b = 0, c = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&a, RDTYPE_INT, 1));
    ASSERT_EQ(0u, RDFieldAlloc(&b, RDTYPE_INT, 1));
    EXPECT_EQ(1u, a);
    EXPECT_EQ(2u, b);
    RDFieldFree(a);
    ASSERT_EQ(0u, RDFieldAlloc(&c, RDTYPE_INT, 1));
    EXPECT_EQ(3u, c);
    // Freed, never issued and far-off handles are unknown to every operation.
    for (uint32_t h : {a, 4u, 0u, 5000u, UINT32_MAX}) {
        EXPECT_EQ(0u, RDFieldGetType(h));
        EXPECT_EQ(12809u, RDFieldSetFlags(h, 0));
        EXPECT_EQ(12809u, RDFieldSetNull(h, 1, 0));
        EXPECT_EQ(1u, RDFieldIsNull(h, 1));
        EXPECT_EQ(0u, RDFieldFree(h));
    }
    // Many handles cross pages of the table; old pages empty out.
    std::vector<uint32_t> many(3000);
    for (uint32_t &h : many)
        ASSERT_EQ(0u, RDFieldAlloc(&h, RDTYPE_INT, 1));
    for (uint32_t &h : many)
        RDFieldFree(h);
    EXPECT_EQ(12809u, RDFieldSetNull(many[0], 1, 0)); // its page is gone
    EXPECT_EQ(12809u, RDFieldSetNull(many[2999], 1, 0));
    EXPECT_EQ(RDTYPE_INT, RDFieldGetType(b));
    RDSystemTerm();
    EXPECT_EQ(0u, RDFieldGetType(b));
    EXPECT_EQ(12320u, RDFieldAlloc(&a, RDTYPE_INT, 1));
    EXPECT_EQ(0u, RDFieldIsNull(b, 1)); // not set up
    ASSERT_EQ(0u, RDSystemInit());
    ASSERT_EQ(0u, RDFieldAlloc(&a, RDTYPE_INT, 1));
    EXPECT_EQ(1u, a);
}

TEST_F(FieldsTest, FlagsAndVirtualCode) {
    uint32_t h = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&h, RDTYPE_TEXT, 1));
    EXPECT_EQ(0u, RDFieldSetFlags(h, 0x10001004)); // the marker byte is not the caller's
    EXPECT_EQ(0x1004u, RDFieldGetFlags(h));
    EXPECT_EQ(12304u, RDFieldSetFlags(h, 0x3000));
    EXPECT_EQ(0x1004u, RDFieldGetFlags(h));
    EXPECT_EQ(0u, RDFieldSetFlags(h, 0x2000));
    EXPECT_EQ(0x2000u, RDFieldGetFlags(h));
    rdx::FindField(h)->flags |= rdx::kFieldHidden; // internal markers survive
    EXPECT_EQ(0u, RDFieldSetFlags(h, 0));
    EXPECT_EQ(rdx::kFieldHidden, rdx::FindField(h)->flags);
    EXPECT_EQ(0u, RDFieldSetVirtualCode(h, 0x50001));
    EXPECT_EQ(0x50001u, RDFieldGetVirtualCode(h));
}

TEST_F(FieldsTest, FormatWordsBelongToTheirTypes) {
    uint32_t i = 0, d = 0, t = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&i, RDTYPE_INT, 2));
    ASSERT_EQ(0u, RDFieldAlloc(&d, RDTYPE_DATETIME, 2));
    ASSERT_EQ(0u, RDFieldAlloc(&t, RDTYPE_TEXT, 2));
    uint32_t w[4] = {9, 9, 9, 9};
    EXPECT_EQ(12546u, RDFieldGetFormatDatetime(t, &w[0], &w[1]));
    EXPECT_TRUE(w[0] == 0 && w[1] == 0);
    EXPECT_EQ(12546u, RDFieldSetFormatStream(i, 0, 0, 256));
    EXPECT_EQ(12546u, RDFieldSetFormatNumber(d, 1, 2, 10, 2));
    EXPECT_EQ(12546u, RDFieldSetFormatDatetime(t, 1, 2));
    w[0] = 9;
    EXPECT_EQ(12809u, RDFieldGetFormatNumber(77, &w[0], nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, w[0]);

    RDFieldSetNull(i, 1, 0);
    ASSERT_EQ(0u, RDFieldSetFormatNumber(i, 7, 8, 10, 2));
    EXPECT_EQ(0u, RDFieldGetFormatNumber(i, &w[0], &w[1], &w[2], &w[3]));
    EXPECT_EQ((std::vector<uint32_t>{7, 8, 10, 2}), std::vector<uint32_t>(w, w + 4));
    EXPECT_EQ(1u, RDFieldIsNull(i, 1)); // a format makes every value null
    EXPECT_EQ(0u, RDFieldGetFormatNumber(i, nullptr, nullptr, nullptr, nullptr));

    RDFieldSetNull(d, 2, 0);
    ASSERT_EQ(0u, RDFieldSetFormatDatetime(d, 5, 6));
    EXPECT_EQ(0u, RDFieldGetFormatDatetime(d, &w[0], &w[1]));
    EXPECT_TRUE(w[0] == 5 && w[1] == 6);
    EXPECT_EQ(1u, RDFieldIsNull(d, 2));
}

TEST_F(FieldsTest, NumberFormatRecreatesNumericsOrChangesNothing) {
    uint32_t n = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&n, RDTYPE_NUMERIC, 2));
    ASSERT_EQ(0u, RDFieldSetFormatNumber(n, 0, 0, 12, 3));
    for (uint32_t k = 1; k <= 2; ++k) {
        auto *value = static_cast<RDNumeric *>(rdx::ValueAt(*rdx::FindField(n), k));
        EXPECT_EQ(12u, value->precision);
        EXPECT_EQ(3, value->scale);
    }
    RDFieldSetNull(n, 1, 0);
    const std::string before = fieldtest::FieldState(*rdx::FindField(n));
    EXPECT_EQ(12806u, RDFieldSetFormatNumber(n, 1, 1, 89, 0)); // precision beyond 88
    EXPECT_EQ(12806u, RDFieldSetFormatNumber(n, 1, 1, 5, 200));
    EXPECT_EQ(before, fieldtest::FieldState(*rdx::FindField(n)));
}

TEST_F(FieldsTest, StreamFormatRecreatesValuesOrChangesNothing) {
    uint32_t t = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&t, RDTYPE_TEXT, 3));
    ASSERT_EQ(0u, RDFieldSetFlags(t, RDFIELD_TRUNCATE));
    RDStream *value = nullptr;
    ASSERT_EQ(0u, RDFieldGetBuffer(t, 2, reinterpret_cast<void **>(&value), nullptr));
    ASSERT_EQ(0u, RDStreamDataSet(value, 256, "old", 3));
    RDFieldSetNull(t, 2, 0);
    ASSERT_EQ(0u, RDFieldSetFormatStream(t, RDSTREAM_NOCASE, 5, 1252));
    uint32_t f = 0, m = 0, c = 0;
    EXPECT_EQ(0u, RDFieldGetFormatStream(t, &f, &m, &c));
    EXPECT_EQ((std::vector<uint32_t>{RDSTREAM_NOCASE, 5, 1252}), (std::vector<uint32_t>{f, m, c}));
    for (uint32_t k = 1; k <= 3; ++k) {
        ASSERT_EQ(0u, RDFieldGetBuffer(t, k, reinterpret_cast<void **>(&value), nullptr));
        EXPECT_EQ((rdxtest::Fields{5, 0, RDSTREAM_NOCASE | RDSTREAM_TRUNCATE, 1252}),
                  rdxtest::FieldsOf(*value, RDSTREAM_CALLER_MASK));
        EXPECT_EQ(1u, RDFieldIsNull(t, k));
    }
    // A format RDStreamCreate refuses is found before anything changes.
    const std::string before = fieldtest::FieldState(*rdx::FindField(t));
    EXPECT_EQ(12303u, RDFieldSetFormatStream(t, RDSTREAM_FIXED, 0, 256));
    EXPECT_EQ(before, fieldtest::FieldState(*rdx::FindField(t)));
}

TEST_F(FieldsTest, BuffersAndIndicatorsByPosition) {
    uint32_t h = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&h, RDTYPE_FLOAT, 3));
    void *value = &h;
    uint32_t *null = &h;
    const std::tuple<uint32_t, uint32_t, uint32_t> cases[] = {
        {h, 0, 12297}, {h, 4, 12291}, {h + 1, 1, 12809}, {h, 3, 0}};
    for (const auto &[handle, index, status] : cases) {
        EXPECT_EQ(status, RDFieldGetBuffer(handle, index, &value, &null));
        EXPECT_EQ(status == 0, value != nullptr && null != nullptr);
        EXPECT_EQ(status, RDFieldSetNull(handle, index, 0));
        EXPECT_EQ(status == 0 ? 0u : 1u, RDFieldIsNull(handle, index));
    }
    *static_cast<double *>(value) = 2.5;
    ASSERT_EQ(0u, RDFieldGetBuffer(h, 2, &value, &null));
    EXPECT_EQ(2.5, *(static_cast<double *>(value) + 1)); // contiguous values
    EXPECT_EQ(0u, RDFieldSetNull(h, 2, 0xFFFF0000));     // any nonzero word is null
    EXPECT_EQ(0xFFFF0000u, *null);
    EXPECT_EQ(1u, RDFieldIsNull(h, 2));
}

} // namespace
