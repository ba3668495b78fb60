// SPDX-License-Identifier: Apache-2.0
// Currency: saturating arithmetic, float conversions and both text forms.
#include "rdx_currency.h"
#include "rdx_test_env.h"

#include <cmath>
#include <cstring>

using rdxtest::Stream;

namespace {

constexpr int64_t kMax = INT64_MAX;
using Outcome = std::pair<uint32_t, int64_t>; // status and value

RDCurrency Cur(int64_t v) {
    return {static_cast<uint32_t>(v), static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32)};
}

int64_t Val(const RDCurrency &c) {
    return static_cast<int64_t>((uint64_t{c.high} << 32) | c.low);
}

TEST(CurrencyArithmetic, SaturatesAtTheEndsOfTheRange) {
    // first, second, subtract, status, result
    const std::tuple<int64_t, int64_t, bool, uint32_t, int64_t> cases[] = {
        // clang-format off
        {kMax, 1, false, 12801, kMax}, {-kMax, 2, true, 12801, -kMax}, {5, 7, true, 0, -2},
        {-kMax, -1, false, 12801, -kMax}, {-kMax, 1, true, 12801, -kMax}, // never -2^63
        {kMax, -1, true, 12801, kMax}, {kMax, -kMax, false, 0, 0}, {-kMax, -kMax, true, 0, 0},
        {12345, -20000, false, 0, -7655}, {-5, kMax, true, 12801, -kMax},
        // clang-format on
    };
    for (const auto &[x, y, subtract, status, result] : cases) {
        auto operation = subtract ? RDCurrencySubtract : RDCurrencyAdd;
        RDCurrency a = Cur(x), b = Cur(y), r{};
        EXPECT_EQ(Outcome(status, result), (Outcome{operation(&r, &a, &b), Val(r)}))
            << x << " " << y;
        // The result may be an operand.
        EXPECT_EQ(Outcome(status, result), (Outcome{operation(&a, &a, &b), Val(a)}));
    }
    RDCurrency x = Cur(1);
    EXPECT_EQ(12805u, RDCurrencyAdd(nullptr, &x, &x));
    EXPECT_EQ(12805u, RDCurrencySubtract(&x, &x, nullptr));
}

TEST(CurrencyArithmetic, CompareClearAndCopy) {
    const std::pair<int64_t, int64_t> orders[] = {{-1, 1}, {int64_t{1} << 40, 1}, {kMax, -kMax}};
    for (const auto &[x, y] : orders) {
        RDCurrency a = Cur(x), b = Cur(y);
        int32_t ab = 7, bb = 7;
        EXPECT_EQ(0u, RDCurrencyCompare(&a, &b, &ab) | RDCurrencyCompare(&b, &b, &bb));
        EXPECT_EQ(std::make_pair(x < y ? -1 : 1, 0), std::make_pair(ab, bb)) << x << " " << y;
    }
    RDCurrency one = Cur(1), big = Cur(int64_t{1} << 40);
    int32_t result = 7;
    EXPECT_EQ(12805u, RDCurrencyCompare(&one, nullptr, &result));
    EXPECT_EQ(0, result); // cleared first
    EXPECT_EQ(12302u, RDCurrencyCompare(nullptr, &one, nullptr));
    RDCurrencyCopy(&one, &big);
    EXPECT_EQ(Val(big), Val(one));
    RDCurrencyCopy(&one, nullptr);
    RDCurrencyClear(&big);
    RDCurrencyClear(nullptr);
    EXPECT_EQ(0, Val(one) | Val(big));
}

TEST(CurrencyFloat, RoundsTiesToEvenOnTheMagnitude) {
    const std::pair<double, Outcome> cases[] = {
        // clang-format off
        {0.00025, {0, 2}}, {0.000375, {0, 4}}, {-0.00025, {0, -2}}, {-0.00035, {0, -4}},
        {1.2345, {0, 12345}}, {-0.0, {0, 0}}, {1e-9, {0, 0}}, {-1e-9, {0, 0}},
        {1e15, {12801, kMax}}, {-1e15, {12801, -kMax}}, {922337203685477.6, {12801, kMax}},
        {INFINITY, {12801, kMax}}, {-INFINITY, {12801, -kMax}}, {NAN, {12801, 0}},
        {922337203685477.5, {0, 9223372036854774784}}, // the largest below 2^63
        // clang-format on
    };
    for (const auto &[value, expected] : cases) {
        RDCurrency r = Cur(99);
        EXPECT_EQ(expected, (Outcome{RDCurrencyFromFloat(&r, &value), Val(r)})) << value;
    }
    double d = 3;
    RDCurrency r = Cur(9007199254740993); // 2^53 + 1: a tie, to the even 2^53
    EXPECT_EQ(0u, RDFloatFromCurrency(&d, &r));
    EXPECT_EQ(9007199254740992.0 / 10000.0, d);
    EXPECT_EQ(12805u, RDCurrencyFromFloat(&r, nullptr));
    EXPECT_EQ(12804u, RDFloatFromCurrency(&d, nullptr));
    EXPECT_EQ(0.0, d); // cleared first
    EXPECT_EQ(12804u, RDFloatFromCurrency(nullptr, &r));
}

TEST(CurrencyNotReady, ChecksComeInOrder) {
    RDCurrency c = Cur(1);
    RDStream s{};
    EXPECT_EQ(12320u, RDStreamFromCurrency(nullptr, nullptr, 0));
    EXPECT_EQ(532u, RDCurrencyFromStream(&c, &s)); // the settings come before the conversion
}

class CurrencyText : public rdxtest::SystemTest {
  protected:
    static Outcome Read(const std::string &text, uint32_t charset = 256) {
        Stream s(text, charset);
        RDCurrency c = Cur(-77);
        return {RDCurrencyFromStream(&c, &s), Val(c)};
    }
};

TEST_F(CurrencyText, Writes) {
    const std::tuple<int64_t, uint32_t, std::string> cases[] = {
        // clang-format off
        {12345, 256, "1.2345"}, {10000, 256, "1.0000"}, {5, 256, ".0005"}, {0, 256, ".0000"},
        {-150000, 256, "-15.0000"}, {-5, 160, rdxtest::Wide(u"-.0005")},
        {kMax, 256, "922337203685477.5807"},
        {INT64_MIN, 256, "-922337203685477.5808"}, // raw bytes outside the range still print
        // clang-format on
    };
    for (const auto &[value, charset, text] : cases) {
        Stream s("old", 256);
        RDCurrency c = Cur(value);
        ASSERT_EQ(0u, RDStreamFromCurrency(&s, &c, charset));
        EXPECT_EQ(std::make_pair(text, charset), std::make_pair(s.Bytes(), s.s.charset));
    }
    Stream s("", 256);
    RDCurrency c = Cur(-5);
    EXPECT_EQ(12808u, RDStreamFromCurrency(nullptr, &c, 256));
    EXPECT_EQ(12300u, RDStreamFromCurrency(&s, &c, 0));
    EXPECT_EQ(12805u, RDStreamFromCurrency(&s, nullptr, 256));
    RDPlatTerm();
    EXPECT_EQ(532u, RDStreamFromCurrency(&s, &c, 256));
}

TEST_F(CurrencyText, ReadsWithTheDefaultSettings) {
    const std::string many(5000, ',');
    const std::pair<std::string, Outcome> cases[] = {
        // clang-format off
        {"", {0, 0}}, {" \t\n ", {0, 0}}, {"abc", {12805, -77}}, {"-", {12805, -77}},
        {".", {12805, -77}}, {"1.23456", {0, 12345}}, {"$1,234.5", {0, 12345000}},
        {"(12.34)", {0, -123400}}, {"($-5)", {0, 50000}}, {"-$5", {12805, -77}},
        {"+.5xyz", {0, 5000}}, {"  12abc", {0, 120000}}, {"9223372036854775807", {12801, kMax}},
        {"-922337203685477.5807", {0, -kMax}}, {"922337203685477.5808", {12801, kMax}},
        {"(922337203685478", {12801, -kMax}}, {"0000000000000000.5", {12801, kMax}},
        {"000000000000000.5", {0, 5000}}, {std::string(56, '0') + ".1", {12801, kMax}},
        {"1" + many + "2" + many + ".5" + many + "1", {0, 125100}}, {"1e999999999", {0, 10000}},
        {"-" + std::string(5000, '9'), {12801, -kMax}},
        {std::string("5\0" "9", 3), {0, 50000}}, // the length bounds the text, not a NUL
        // clang-format on
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(expected, Read(text)) << text.substr(0, 40);
    RDCurrency c{};
    Stream s("1", 256);
    EXPECT_EQ(12805u, RDCurrencyFromStream(nullptr, &s));
    EXPECT_EQ(12805u, RDCurrencyFromStream(&c, nullptr));
    RDPlatTerm();
    EXPECT_EQ(532u, RDCurrencyFromStream(&c, &s));
}

// A three-byte symbol, a two-byte thousand and a two-byte decimal separator.
TEST_F(CurrencyText, ReadsSeveralByteSettingsAndOtherCharsets) {
    RDIntlFormat f = *RDPlatGetIntlFormat();
    std::strcpy(f.currencySymbol, "\xE2\x82\xAC");
    std::strcpy(f.thousandSeparator, "\xC2\xA0");
    std::strcpy(f.decimalSeparator, ",,");
    ASSERT_EQ(0u, RDPlatSetIntlFormat(&f));
    const std::tuple<std::string, uint32_t, Outcome> cases[] = {
        // clang-format off
        {"(\xE2\x82\xAC" "1\xC2\xA0" "234,,56)", 256, {0, -12345600}},
        {"\xE2\x82\xAC-,,5", 256, {0, -5000}}, {rdxtest::Wide(u"-123,,45"), 160, {0, -1234500}},
        {"12,5", 256, {0, 120000}},         // a single ',' is not the separator
        {"1\xC2" "5", 256, {0, 10000}},     // nor is half of the thousand separator
        {"\xE2\x82-5", 256, {12805, -77}},  // a cut symbol is no symbol
        // clang-format on
    };
    for (const auto &[text, charset, expected] : cases)
        EXPECT_EQ(expected, Read(text, charset));
}

} // namespace
