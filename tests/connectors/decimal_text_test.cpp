// SPDX-License-Identifier: Apache-2.0
// Exact decimals of the connector kit: texts read whole, values brought to
// a scale (refused, or rounded half to even), written with a scale, held in
// the engine's numeric records and in 64-bit integers at their limits.
#include "decimal_text.h"
#include "value_text.h"

#include "../values/rdx_test_env.h"
#include "rdx_status.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

using rdxc::Decimal;
using rdxc::Fit;
using rdxc::Rounding;

std::string Shown(const Decimal &value, int32_t scale) {
    std::string text;
    rdxc::FormatDecimal(value, scale, text);
    return text;
}

Decimal Parsed(const std::string &text) {
    Decimal value;
    EXPECT_TRUE(rdxc::ParseDecimal(text, value)) << text;
    return value;
}

TEST(DecimalText, WholeTextsOnly) {
    for (const char *good : {"0", "-0", "+1", ".5", "5.", "007", "1e3", "1E-3", "-1.5e+2",
                             "0.000000000000000000000000000000000000000000000000001"}) {
        Decimal value;
        EXPECT_TRUE(rdxc::ParseDecimal(good, value)) << good;
    }
    for (const char *bad : {"", "-", "+", ".", "e5", "1e", "1e+", "1.2.3", "1,5", " 1", "1 ",
                            "0x10", "1e100001", "--1", "1_000"}) {
        Decimal value;
        EXPECT_FALSE(rdxc::ParseDecimal(bad, value)) << bad;
    }
    // Zero has no sign; trailing zeros leave the digits.
    EXPECT_EQ("0", Shown(Parsed("-0.000"), 0));
    EXPECT_EQ(0, rdxc::ScaleOf(Parsed("12.500")) - 1);
    EXPECT_EQ(4, rdxc::IntegerDigits(Parsed("1234.5")));
    EXPECT_EQ(0, rdxc::IntegerDigits(Parsed("0.05")));
}

TEST(DecimalText, RescaleRefusesOrRoundsHalfToEven) {
    struct Case {
        const char *text;
        int32_t scale;
        const char *rounded;
    };
    for (const Case &c : std::initializer_list<Case>{
             {"1.995", 2, "2.00"},
             {"1.985", 2, "1.98"},
             {"1.9851", 2, "1.99"},
             {"2.5", 0, "2"},
             {"3.5", 0, "4"},
             {"-2.5", 0, "-2"},
             {"-3.5", 0, "-4"},
             {"0.5", 0, "0"},
             {"0.05", 1, "0.0"},
             {"0.051", 1, "0.1"},
             {"9.999", 2, "10.00"},
             {"-9.999", 2, "-10.00"},
             {"0.004", 2, "0.00"},
             {"-0.004", 2, "0.00"},
             {"1.25e-1", 1, "0.1"},
             {"123456789012345678901234567890.5", 0, "123456789012345678901234567890"}}) {
        Decimal value = Parsed(c.text);
        EXPECT_EQ(Fit::TooFine, rdxc::Rescale(value, c.scale, Rounding::None)) << c.text;
        EXPECT_EQ(Fit::Rounded, rdxc::Rescale(value, c.scale, Rounding::HalfEven)) << c.text;
        EXPECT_EQ(c.rounded, Shown(value, c.scale)) << c.text;
    }
    // Zeros after the last place lose nothing.
    for (const char *exact : {"1.500", "7600.00", "0.000", "1e3", "-12.5"}) {
        Decimal value = Parsed(exact);
        EXPECT_EQ(Fit::Exact, rdxc::Rescale(value, 2, Rounding::None)) << exact;
    }
}

TEST(DecimalText, WrittenWithTheScaleAsked) {
    EXPECT_EQ("7600.00", Shown(Parsed("7600"), 2));
    EXPECT_EQ("-12.50", Shown(Parsed("-12.5"), 2));
    EXPECT_EQ("0.00", Shown(Parsed("0"), 2));
    EXPECT_EQ("0.001", Shown(Parsed("1e-3"), 3));
    EXPECT_EQ("-0.0000000001", Shown(Parsed("-1e-10"), 10));
    EXPECT_EQ("150000", Shown(Parsed("1.5e5"), 0));
}

TEST(DecimalText, SixtyFourBitIntegersAtTheirLimits) {
    int64_t value = 0;
    EXPECT_TRUE(rdxc::ToInt64(Parsed("9223372036854775807"), value));
    EXPECT_EQ(INT64_MAX, value);
    EXPECT_TRUE(rdxc::ToInt64(Parsed("-9223372036854775808"), value));
    EXPECT_EQ(INT64_MIN, value);
    EXPECT_TRUE(rdxc::ToInt64(Parsed("-2147483649"), value));
    EXPECT_EQ(-2147483649LL, value);
    EXPECT_TRUE(rdxc::ToInt64(Parsed("1e18"), value));
    EXPECT_EQ(1000000000000000000LL, value);
    for (const char *no :
         {"9223372036854775808", "-9223372036854775809", "1e19", "1.5", "99999999999999999999"})
        EXPECT_FALSE(rdxc::ToInt64(Parsed(no), value)) << no;
    for (int64_t limit : {INT64_MIN, INT64_MAX, int64_t{0}, int64_t{-1}}) {
        EXPECT_TRUE(rdxc::ToInt64(rdxc::FromInt64(limit), value));
        EXPECT_EQ(limit, value);
    }
}

class DecimalRecords : public rdxtest::SystemTest {};

// A value stored in a record reads back as the library reads the same text,
// and digits the record lacks before the point are refused.
TEST_F(DecimalRecords, NumericRecordsHoldTheDigits) {
    struct Case {
        uint32_t precision;
        int32_t scale;
        const char *text;
    };
    for (const Case &c :
         std::initializer_list<Case>{{38, 10, "1234567890123456789012345678.0123456789"},
                                     {38, 10, "-0.0000000001"},
                                     {19, 0, "9223372036854775807"},
                                     {19, 0, "-9999999999999999999"},
                                     {12, 2, "-12.5"},
                                     {88, 44, "0.00000000000000000000000000000000000000000001"},
                                     {5, 0, "0"}}) {
        RDNumeric record{}, library{};
        ASSERT_EQ(0u, RDNumericCreate(&record, c.precision, c.scale));
        ASSERT_EQ(0u, RDNumericCreate(&library, c.precision, c.scale));
        ASSERT_EQ(0u, rdxc::StoreDecimal(Parsed(c.text), record)) << c.text;
        rdxtest::Stream text(c.text, RDCHARSET_INTERCHANGE);
        ASSERT_EQ(0u, RDNumericFromStream(&library, &text)) << c.text;
        int32_t order = 9;
        ASSERT_EQ(0u, RDNumericCompare(&record, &library, &order));
        EXPECT_EQ(0, order) << c.text;
        Decimal back;
        ASSERT_TRUE(rdxc::DecimalOf(record, back));
        EXPECT_EQ(Shown(Parsed(c.text), c.scale), Shown(back, c.scale));
    }
    RDNumeric narrow{};
    ASSERT_EQ(0u, RDNumericCreate(&narrow, 5, 2));
    EXPECT_EQ(RDSTATUS_NOFIT, rdxc::StoreDecimal(Parsed("1000"), narrow));
    EXPECT_EQ(RDSTATUS_NOFIT, rdxc::StoreDecimal(Parsed("1.234"), narrow)); // Rescale first
    // A cleared record is 0.
    RDNumeric cleared{};
    Decimal zero;
    EXPECT_TRUE(rdxc::DecimalOf(cleared, zero));
    EXPECT_EQ("0", Shown(zero, 0));
}

// The text of a numeric field's value, written straight from the record's
// digits, is the text of its decimal: random records of every precision,
// scale and sign, zeros at either end, in a field with a precision (the
// record's scale shown) and without one (the shortest text).
TEST_F(DecimalRecords, ValueTextsOfNumericRecords) {
    constexpr uint32_t kCount = 2000;
    std::mt19937 random(7);
    for (const bool fixed : {true, false}) {
        uint32_t field = 0;
        ASSERT_EQ(0u, RDFieldAlloc(&field, RDTYPE_NUMERIC, kCount));
        if (fixed) {
            ASSERT_EQ(0u, RDFieldSetFormatNumber(field, 0, 0, 30, 4));
        }
        for (uint32_t index = 1; index <= kCount; ++index) {
            void *buffer = nullptr;
            uint32_t *indicator = nullptr;
            ASSERT_EQ(0u, RDFieldGetBuffer(field, index, &buffer, &indicator));
            RDNumeric &record = *static_cast<RDNumeric *>(buffer);
            record = RDNumeric{};
            record.marker = RDNUMERIC_MARKER;
            record.precision = static_cast<uint8_t>(random() % (RDNUMERIC_MAX_PRECISION + 1));
            record.scale =
                static_cast<int8_t>(static_cast<int>(random() % (record.precision + 4)) - 3);
            record.sign = static_cast<uint8_t>(random() % 2);
            // Runs of zeros at the front and back, as real values have.
            const int lead = static_cast<int>(random() % (record.precision + 1));
            const int tail = static_cast<int>(random() % (record.precision + 1));
            for (int i = lead; i < record.precision - tail; ++i) {
                const uint8_t digit = static_cast<uint8_t>(random() % 10);
                record.digits[i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? digit << 4 : digit);
            }
            *indicator = 0;
            Decimal number;
            ASSERT_TRUE(rdxc::DecimalOf(record, number));
            const int64_t scale =
                fixed ? std::max<int64_t>(record.scale, 0) : rdxc::ScaleOf(number);
            std::string text;
            bool isNull = true;
            ASSERT_EQ(0u, rdxc::ValueToText(field, RDTYPE_NUMERIC, index, text, isNull));
            EXPECT_FALSE(isNull);
            ASSERT_EQ(Shown(number, static_cast<int32_t>(scale)), text)
                << "precision " << int{record.precision} << ", scale " << int{record.scale};
        }
        RDFieldFree(field);
    }
}

} // namespace
