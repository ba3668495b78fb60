// Currency: saturating arithmetic, float conversions and both text forms.
#include "rdx_currency.h"
#include "rdx_test_env.h"

#include <cmath>
#include <cstring>

using rdxtest::Stream;

namespace {

constexpr int64_t kMax = INT64_MAX;

RDCurrency Cur(int64_t v) {
    return {static_cast<uint32_t>(v), static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32)};
}

int64_t Val(const RDCurrency &c) {
    return static_cast<int64_t>((uint64_t{c.high} << 32) | c.low);
}

// ASCII text as two-byte little-endian text.
std::string Wide(const std::string &ascii) {
    std::string wide;
    for (char c : ascii)
        wide += {c, '\0'};
    return wide;
}

TEST(CurrencyArithmetic, SaturatesAtTheEndsOfTheRange) {
    const struct {
        int64_t a, b;
        bool subtract;
        int64_t expected;
        uint32_t status;
    } cases[] = {
        // clang-format off
        {kMax, 1, false, kMax, 12801},  {-kMax, 2, true, -kMax, 12801}, {kMax, -1, true, kMax, 12801},
        {-kMax, -1, false, -kMax, 12801}, {-kMax, 1, true, -kMax, 12801}, // never -2^63
        {-5, kMax, true, -kMax, 12801}, {kMax, -kMax, false, 0, 0},     {-kMax, -kMax, true, 0, 0},
        {12345, -20000, false, -7655, 0}, {5, 7, true, -2, 0},
        // clang-format on
    };
    for (const auto &c : cases) {
        auto operation = c.subtract ? RDCurrencySubtract : RDCurrencyAdd;
        RDCurrency a = Cur(c.a), b = Cur(c.b), r{};
        EXPECT_EQ(c.status, operation(&r, &a, &b)) << c.a << (c.subtract ? " - " : " + ") << c.b;
        EXPECT_EQ(c.expected, Val(r)) << c.a << " " << c.b;
        EXPECT_EQ(c.status, operation(&a, &a, &b)); // the result may be an operand
        EXPECT_EQ(c.expected, Val(a));
    }
    RDCurrency x = Cur(1);
    EXPECT_EQ(12805u, RDCurrencyAdd(nullptr, &x, &x));
    EXPECT_EQ(12805u, RDCurrencySubtract(&x, &x, nullptr));
}

TEST(CurrencyArithmetic, CompareClearAndCopy) {
    const std::pair<int64_t, int64_t> orders[] = {{-1, 1}, {int64_t{1} << 40, 1}, {kMax, -kMax}};
    for (const auto &[low, high] : orders) {
        RDCurrency a = Cur(low), b = Cur(high);
        int32_t result = 7;
        EXPECT_EQ(0u, RDCurrencyCompare(&a, &b, &result));
        EXPECT_EQ(low < high ? -1 : 1, result);
        EXPECT_EQ(0u, RDCurrencyCompare(&b, &b, &result));
        EXPECT_EQ(0, result);
    }
    RDCurrency plus = Cur(1), big = Cur(int64_t{1} << 40);
    int32_t result = 7;
    EXPECT_EQ(12805u, RDCurrencyCompare(&plus, nullptr, &result));
    EXPECT_EQ(0, result); // cleared first
    EXPECT_EQ(12302u, RDCurrencyCompare(nullptr, &plus, nullptr));
    RDCurrencyCopy(&plus, &big);
    EXPECT_EQ(Val(big), Val(plus));
    RDCurrencyCopy(&plus, nullptr);
    RDCurrencyClear(&big);
    RDCurrencyClear(nullptr);
    EXPECT_EQ(0, Val(plus) | Val(big));
}

TEST(CurrencyFloat, RoundsTiesToEvenOnTheMagnitude) {
    const struct {
        double value;
        int64_t expected;
        uint32_t status;
    } cases[] = {
        // clang-format off
        {0.00025, 2, 0}, {0.000375, 4, 0}, {-0.00025, -2, 0}, {-0.00035, -4, 0}, {1.2345, 12345, 0},
        {-0.0, 0, 0}, {1e-9, 0, 0}, {-1e-9, 0, 0}, {1e15, kMax, 12801}, {-1e15, -kMax, 12801},
        {922337203685477.6, kMax, 12801}, {INFINITY, kMax, 12801}, {-INFINITY, -kMax, 12801},
        {NAN, 0, 12801}, {922337203685477.5, 9223372036854774784, 0}, // the largest below 2^63
        // clang-format on
    };
    for (const auto &c : cases) {
        RDCurrency r = Cur(99);
        EXPECT_EQ(c.status, RDCurrencyFromFloat(&r, &c.value)) << c.value;
        EXPECT_EQ(c.expected, Val(r)) << c.value;
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
    static std::pair<uint32_t, int64_t> Read(const std::string &text, uint32_t charset = 256) {
        Stream s(text, charset);
        RDCurrency c = Cur(-77);
        const uint32_t status = RDCurrencyFromStream(&c, &s);
        return {status, Val(c)};
    }
};

TEST_F(CurrencyText, Writes) {
    const std::pair<int64_t, const char *> cases[] = {
        // clang-format off
        {12345, "1.2345"}, {10000, "1.0000"}, {5, ".0005"}, {0, ".0000"}, {-150000, "-15.0000"},
        {-5, "-.0005"}, {kMax, "922337203685477.5807"},
        {INT64_MIN, "-922337203685477.5808"}, // raw bytes outside the range still print
        // clang-format on
    };
    for (const auto &[value, text] : cases) {
        Stream s("old", 256);
        RDCurrency c = Cur(value);
        ASSERT_EQ(0u, RDStreamFromCurrency(&s, &c, 256));
        EXPECT_EQ(text, s.Bytes());
    }
    Stream wide("", 160);
    RDCurrency c = Cur(-5);
    ASSERT_EQ(0u, RDStreamFromCurrency(&wide, &c, 160));
    EXPECT_EQ(Wide("-.0005"), wide.Bytes());
    EXPECT_EQ(160u, wide.s.charset);
    EXPECT_EQ(12808u, RDStreamFromCurrency(nullptr, &c, 256));
    EXPECT_EQ(12300u, RDStreamFromCurrency(&wide, &c, 0));
    EXPECT_EQ(12805u, RDStreamFromCurrency(&wide, nullptr, 256));
    RDPlatTerm();
    EXPECT_EQ(532u, RDStreamFromCurrency(&wide, &c, 256));
}

TEST_F(CurrencyText, ReadsWithTheDefaultSettings) {
    const std::string many(5000, ',');
    const struct {
        std::string text;
        uint32_t status;
        int64_t value;
    } cases[] = {
        // clang-format off
        {"", 0, 0}, {" \t\n ", 0, 0}, {"abc", 12805, -77}, {"-", 12805, -77}, {".", 12805, -77},
        {"1.23456", 0, 12345}, {"$1,234.5", 0, 12345000}, {"(12.34)", 0, -123400},
        {"($-5)", 0, 50000}, {"-$5", 12805, -77}, {"+.5xyz", 0, 5000}, {"  12abc", 0, 120000},
        {"9223372036854775807", 12801, kMax}, {"-922337203685477.5807", 0, -kMax},
        {"922337203685477.5808", 12801, kMax}, {"(922337203685478", 12801, -kMax},
        {"0000000000000000.5", 12801, kMax}, {"000000000000000.5", 0, 5000},
        {"1" + many + "2" + many + ".5" + many + "1", 0, 125100},
        {std::string(56, '0') + ".1", 12801, kMax}, {"-" + std::string(5000, '9'), 12801, -kMax},
        {"1e999999999", 0, 10000},
        {std::string("5\0" "9", 3), 0, 50000}, // the length bounds the text, not a NUL
        // clang-format on
    };
    for (const auto &c : cases)
        EXPECT_EQ(std::make_pair(c.status, c.value), Read(c.text)) << c.text.substr(0, 40);
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
    const std::pair<std::string, std::pair<uint32_t, int64_t>> cases[] = {
        // clang-format off
        {"(\xE2\x82\xAC" "1\xC2\xA0" "234,,56)", {0, -12345600}}, {"\xE2\x82\xAC-,,5", {0, -5000}},
        {"12,5", {0, 120000}},            // a single ',' is not the separator
        {"1\xC2" "5", {0, 10000}},        // nor is half of the thousand separator
        {"\xE2\x82-5", {12805, -77}},     // a cut symbol is no symbol
        // clang-format on
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(expected, Read(text));
    EXPECT_EQ(std::make_pair(0u, int64_t{-1234500}), Read(Wide("-123,,45"), 160));
}

} // namespace
