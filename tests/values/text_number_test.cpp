// SPDX-License-Identifier: Apache-2.0
// Integer and float texts: writing, reading with signs and limits, other
// character sets, and round trips over random values.
#include "rdx_test_env.h"
#include "rdx_text.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <random>
#include <tuple>

using rdxtest::Stream;

namespace {

constexpr uint32_t kWindows1252 = 1252;

// ASCII text as two-byte little-endian text.
std::string Utf16(const std::string &ascii) {
    std::string wide;
    for (char c : ascii)
        wide += {c, '\0'};
    return wide;
}

using TextNumber = rdxtest::SystemTest;

TEST_F(TextNumber, IntegerTexts) {
    const std::string nines(300, '9');
    // clang-format off
    const std::tuple<std::string, uint32_t, int32_t> cases[] = {
        {" 42abc", 0, 42}, {"\t\n7", 0, 7}, {"-42", 0, -42}, {" +1", 0, 1}, {"-0", 0, 0},
        {"1-2", 0, 1}, {std::string("12\0" "3", 4), 0, 12}, {std::string(40, '0') + "42", 0, 42},
        // A sign must be followed by a digit.
        {"", 12803, 0}, {"   ", 12803, 0}, {"x1", 12803, 0}, {"-", 12803, 0}, {"+", 12803, 0},
        {"- 42", 12803, 0}, {"-x", 12803, 0}, {"+-1", 12803, 0}, {"--1", 12803, 0},
        {"\2405", 12803, 0},
        // The limits, one past each, and far past: saturated with 12801.
        {"2147483647", 0, INT32_MAX}, {"2147483648", 12801, INT32_MAX},
        {"-2147483648", 0, INT32_MIN}, {"-2147483649", 12801, INT32_MIN},
        {"4294967297", 12801, INT32_MAX}, {"99999999999", 12801, INT32_MAX},
        {nines, 12801, INT32_MAX}, {"-" + nines + "x", 12801, INT32_MIN}};
    // clang-format on
    for (const auto &[text, status, expected] : cases) {
        Stream in(text, RDCHARSET_DEFAULT);
        int32_t value = 99;
        EXPECT_EQ(status, RDIntFromStream(&value, &in)) << text;
        EXPECT_EQ(expected, value) << text;
    }
    Stream s("1", RDCHARSET_DEFAULT), strict("", RDCHARSET_DEFAULT, 3);
    const int32_t big = 123456;
    EXPECT_EQ(12808u, RDStreamFromInt(nullptr, &big, RDCHARSET_DEFAULT));
    EXPECT_EQ(12300u, RDStreamFromInt(&s, &big, 0));
    EXPECT_EQ(12803u, RDStreamFromInt(&s, nullptr, RDCHARSET_DEFAULT));
    EXPECT_EQ(12801u, RDStreamFromInt(&strict, &big, RDCHARSET_DEFAULT));
    EXPECT_EQ(12803u, RDIntFromStream(nullptr, &s));
    int32_t value = 5;
    EXPECT_EQ(12803u, RDIntFromStream(&value, nullptr));
    EXPECT_EQ(0, value);
}

TEST_F(TextNumber, FloatTexts) {
    // clang-format off
    const std::pair<double, std::string> written[] = {
        {0.5, "0.5"}, {123.0, "123"}, {1.5e20, "1.5e+020"}, {-2.25, "-2.25"}, {0.0, "0"},
        {0.1, "0.1"}, {0.05, "5e-002"}, {1e-300, "1e-300"}, {1.0 / 3, "0.333333333333333"},
        {123456789012345.0, "123456789012345"}, {1234567890123456.0, "1.23456789012346e+015"},
        {999999999999999.9, "1e+015"}, {2.0 / 3 * 100, "66.6666666666667"}};
    // clang-format on
    for (const auto &[value, text] : written) {
        Stream out;
        ASSERT_EQ(0u, RDStreamFromFloat(&out, &value, RDCHARSET_DEFAULT));
        EXPECT_EQ(text, out.Bytes());
    }
    const std::string nines(400, '9'), tiny = "0." + std::string(400, '0') + "1";
    // clang-format off
    const std::tuple<std::string, uint32_t, double> read[] = {
        {".5", 0, 0.5}, {" 2.5e3x", 0, 2500}, {"-2.5", 0, -2.5}, {"+.5", 0, 0.5},
        {" -.5e1", 0, -5}, {"0x10", 0, 0}, {"-0e999999999999", 0, 0},
        {"abc", 12804, 0}, {".", 12804, 0}, {".e5", 12804, 0}, {"-", 12804, 0}, {"+.", 12804, 0},
        {"-e5", 12804, 0}, {"- 1", 12804, 0}, {"-abc", 12804, 0}, {"+-1", 12804, 0},
        {"-inf", 12804, 0},
        // Beyond the range: the largest finite value of the sign, 12801.
        {"1.7976931348623157e308", 0, DBL_MAX}, {"1.8e308", 12801, DBL_MAX},
        {"1e400", 12801, DBL_MAX}, {"-1e400", 12801, -DBL_MAX}, {nines, 12801, DBL_MAX},
        {"1e99999999999999999999", 12801, DBL_MAX},
        // Underflow: zero or the nearest subnormal, status 0.
        {"1e-400", 0, 0}, {"-1e-99999999999999999999", 0, 0}, {tiny, 0, 0},
        {"4e-320", 0, 4e-320}, {"-4.9406564584124654e-324", 0, -4.9406564584124654e-324}};
    // clang-format on
    for (const auto &[text, status, expected] : read) {
        Stream in(text, RDCHARSET_DEFAULT);
        double value = 9;
        EXPECT_EQ(status, RDFloatFromStream(&value, &in)) << text;
        EXPECT_EQ(expected, value) << text;
        const bool negative = status != 12804 && text.find_first_not_of(" ") == text.find('-');
        EXPECT_EQ(negative, std::signbit(value)) << text;
    }
    Stream s("1", RDCHARSET_DEFAULT);
    EXPECT_EQ(12808u, RDStreamFromFloat(nullptr, &written[0].first, RDCHARSET_DEFAULT));
    EXPECT_EQ(12804u, RDStreamFromFloat(&s, nullptr, RDCHARSET_DEFAULT));
    EXPECT_EQ(12804u, RDFloatFromStream(nullptr, &s));
}

// Texts in other character sets are converted before they are read; a
// byte of 0x80 or above (no-break space, an en dash) is never a sign or
// white space.
TEST_F(TextNumber, TextsInOtherCharacterSets) {
    const std::tuple<std::string, uint32_t, uint32_t, int32_t, double> cases[] = {
        {Utf16("\t-42"), RDCHARSET_UNICODE, 0, -42, -42},
        {Utf16(" +1e3"), RDCHARSET_UNICODE, 0, 1, 1000},
        {Utf16("-2147483649"), RDCHARSET_UNICODE, 12801, INT32_MIN, -2147483649.0},
        {" -42", kWindows1252, 0, -42, -42},
        {"\x96"
         "42",
         kWindows1252, 12803, 0, 0},
        {"\xa0"
         "42",
         kWindows1252, 12803, 0, 0},
        {"-\xa0"
         "42",
         kWindows1252, 12803, 0, 0}};
    for (const auto &[text, charset, intStatus, intValue, floatValue] : cases) {
        Stream in(text, charset);
        int32_t i = 7;
        EXPECT_EQ(intStatus, RDIntFromStream(&i, &in)) << text;
        EXPECT_EQ(intValue, i) << text;
        double f = 7;
        EXPECT_EQ(intStatus == 12803 ? 12804u : 0u, RDFloatFromStream(&f, &in)) << text;
        EXPECT_EQ(floatValue, f) << text;
    }
}

// Numbers in text of another UTF-8 code (256, 65001; the native set is
// UTF-8 here) read as from the text converted into the native set,
// ill-formed bytes included, and in place: nothing is allocated.
TEST_F(TextNumber, OtherUtf8CodesReadInPlaceAsTheirConversion) {
    const std::string texts[] = {" 42",
                                 "-7\xFF",
                                 "12\xE2\x82",
                                 "\xC0\xAF"
                                 "5",
                                 "\xEF\xBF\xBD"
                                 "9",
                                 "\xC2\xA0"
                                 "1",
                                 "1e\x80"
                                 "5",
                                 "3.5e2\xED\xA0\x80",
                                 "+\xF0\x9F\x98\x80"
                                 "1",
                                 "\xEF\xBC\x91\xEF\xBC\x92",
                                 "-\xF4\x90\x80\x80",
                                 "  .5\xF8"};
    for (const std::string &text : texts) {
        for (uint32_t code : {uint32_t{RDCHARSET_INTERCHANGE}, uint32_t{65001}}) {
            Stream in(text, code),
                native(rdxtest::Converted(text, code, RDCHARSET_DEFAULT), RDCHARSET_DEFAULT);
            int32_t i = 7, j = 8;
            double f = 7, g = 8;
            EXPECT_EQ(RDIntFromStream(&j, &native), RDIntFromStream(&i, &in)) << text;
            EXPECT_EQ(j, i) << text;
            EXPECT_EQ(RDFloatFromStream(&g, &native), RDFloatFromStream(&f, &in)) << text;
            EXPECT_EQ(g, f) << text;
            RDTestMemFailNth(1);
            RDIntFromStream(&i, &in);
            RDFloatFromStream(&f, &in);
            EXPECT_NE(0, RDTestMemFailPending()) << text << " was copied";
            RDTestMemFailNth(0);
        }
    }
}

TEST_F(TextNumber, IntegersReadBackAsWritten) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    for (int i = 0; i < 3000; ++i) {
        const int32_t value = i < 2 ? (i == 0 ? INT32_MIN : INT32_MAX) : any(random);
        const uint32_t charset = i % 10 == 0 ? RDCHARSET_UNICODE : RDCHARSET_DEFAULT;
        Stream out;
        ASSERT_EQ(0u, RDStreamFromInt(&out, &value, charset));
        int32_t back = 0;
        ASSERT_EQ(0u, RDIntFromStream(&back, &out)) << out.Bytes();
        ASSERT_EQ(value, back);
    }
}

// Every finite double: its 15-digit text reads back within the text's
// precision. Only texts that round up past the largest finite value are
// out of range.
TEST_F(TextNumber, FloatsReadBackWithinTheirPrecision) {
    std::mt19937_64 random(20261207);
    int read = 0;
    for (int i = 0; read < 3000; ++i) {
        const uint64_t bits = i == 0 ? 0x7FEFFFFFFFFFFFFF : random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        ++read;
        Stream out;
        ASSERT_EQ(0u, RDStreamFromFloat(&out, &value, RDCHARSET_DEFAULT));
        double back = 0;
        const uint32_t status = RDFloatFromStream(&back, &out);
        if (std::abs(value) > 1.797693134862315e308) {
            EXPECT_EQ(12801u, status) << out.Bytes();
            EXPECT_EQ(std::copysign(DBL_MAX, value), back);
            continue;
        }
        ASSERT_EQ(0u, status) << out.Bytes();
        ASSERT_LE(std::abs(back - value), std::abs(value) * 1e-14) << out.Bytes();
    }
}

} // namespace
