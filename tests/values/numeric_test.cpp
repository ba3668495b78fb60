// SPDX-License-Identifier: Apache-2.0
// Numeric: creation and validity, comparison, addition and subtraction
// (against exact arithmetic), float conversions and both text forms.
#include "rdx_numeric.h"
#include "rdx_test_env.h"

#include <cmath>
#include <cstring>
#include <random>

using rdxtest::Stream;

namespace {

// A numeric of scale s holding digits ("-0125": sign 1, precision 4).
RDNumeric Num(int32_t s, std::string digits) {
    RDNumeric n;
    const bool negative = !digits.empty() && digits[0] == '-';
    if (negative) digits.erase(0, 1);
    EXPECT_EQ(0u, RDNumericCreate(&n, digits.size(), s));
    n.sign = negative ? 1 : 0;
    for (size_t i = 0; i < digits.size(); ++i)
        n.digits[i / 2] |= static_cast<uint8_t>((digits[i] - '0') << (i % 2 == 0 ? 4 : 0));
    return n;
}

// The first `precision` digits, with a '-' for sign 1.
std::string Digits(const RDNumeric &n) {
    std::string text = n.sign != 0 ? "-" : "";
    for (int i = 0; i < n.precision; ++i)
        text += static_cast<char>('0' + ((n.digits[i / 2] >> (i % 2 == 0 ? 4 : 0)) & 0xF));
    return text;
}

// A status and the digits of the numeric it was given for.
using Outcome = std::pair<uint32_t, std::string>;
Outcome Of(uint32_t status, const RDNumeric &n) {
    return {status, Digits(n)};
}

// Integers from a fixed seed; digits lean to 0 and 9.
struct Random {
    std::mt19937_64 engine;
    int operator()(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(engine);
    }
    char Digit() {
        return static_cast<char>('0' + ((*this)(0, 3) == 0 ? 9 * (*this)(0, 1) : (*this)(0, 9)));
    }
};

TEST(NumericRecord, CreateLimitsAndValidity) {
    // precision, scale, status
    const std::tuple<uint32_t, int32_t, uint32_t> cases[] = {
        // clang-format off
        {89, 0, 12806}, {0, 128, 12806}, {0, -128, 12806}, {88, -39, 0}, {88, -40, 12806},
        {0, 127, 0}, {0, -127, 0}, {1, -127, 12806}, {5, 0x7FFFFFFF, 0}, {0xFFFFFFFF, 0, 12806},
        // clang-format on
    };
    for (const auto &[precision, scale, status] : cases) {
        RDNumeric n;
        std::memset(&n, 0x5A, sizeof n);
        EXPECT_EQ(status, RDNumericCreate(&n, precision, scale)) << precision << " " << scale;
        if (status != 0) continue;
        EXPECT_EQ(std::make_pair(precision, scale == 0x7FFFFFFF ? 0 : scale),
                  std::make_pair(RDNumericGetPrecision(&n), RDNumericGetScale(&n)));
        EXPECT_EQ(std::string(44, '\0'), std::string(reinterpret_cast<char *>(n.digits), 44));
    }
    EXPECT_EQ(12806u, RDNumericCreate(nullptr, 5, 2));
    // A record whose first four bytes are zero becomes 0 (88, 44) when first looked at.
    RDNumeric cleared, zero = Num(0, "000"), bad = Num(0, "1"), low = bad, wide = bad;
    std::memset(&cleared, 0, 4);
    std::memset(cleared.digits, 7, sizeof cleared.digits);
    int32_t order = 9;
    EXPECT_EQ(Outcome(0, std::string(88, '0')),
              Of(RDNumericCompare(&cleared, &zero, &order), cleared));
    EXPECT_EQ(std::make_tuple(0, 88u, 44),
              std::make_tuple(order, RDNumericGetPrecision(&cleared), RDNumericGetScale(&cleared)));
    bad.marker = 127;
    low.scale = -128;
    wide.precision = 89;
    for (RDNumeric *n : {&bad, &low, &wide}) {
        EXPECT_EQ(0u, RDNumericGetPrecision(n));
        EXPECT_EQ(12806u, RDNumericCompare(n, &zero, &order));
        EXPECT_EQ(12806u, RDNumericAdd(&zero, &zero, n));
    }
    RDNumericCopy(&bad, &zero);
    EXPECT_EQ(0, std::memcmp(&bad, &zero, sizeof bad));
    RDNumericCopy(&bad, nullptr);
    EXPECT_EQ(std::string(sizeof bad, '\0'),
              std::string(reinterpret_cast<char *>(&bad), sizeof bad));
}

TEST(NumericCompare, AlignsWeightsAndOrdersSigns) {
    const std::tuple<RDNumeric, RDNumeric, int32_t> cases[] = {
        {Num(0, "-0"), Num(0, "0"), -1},       {Num(-2, "1"), Num(2, "9999"), 1},
        {Num(3, "10"), Num(5, "1000"), 0},     {Num(3, "001"), Num(-3, "0"), 1},
        {Num(0, "-100"), Num(2, "-10001"), 1}, {Num(0, "-05"), Num(0, "-07"), 1},
        {Num(0, "0"), Num(1, "0000"), 0},      {Num(1, "11"), Num(2, "99"), 1},
        {Num(1, "123"), Num(1, "124"), -1},    {Num(5, ""), Num(0, "-0"), 1},
    };
    for (auto [a, b, expected] : cases) {
        int32_t ab = 9, ba = 9;
        EXPECT_EQ(0u, RDNumericCompare(&a, &b, &ab) | RDNumericCompare(&b, &a, &ba));
        EXPECT_EQ(std::make_pair(expected, -expected), std::make_pair(ab, ba)) << Digits(a);
    }
    RDNumeric a = Num(0, "1");
    EXPECT_EQ(12302u, RDNumericCompare(&a, &a, nullptr));
    int32_t order = 9;
    EXPECT_EQ(12806u, RDNumericCompare(&a, nullptr, &order));
    EXPECT_EQ(0, order);
}

TEST(NumericAdd, TruncatesSaturatesAndSignsResults) {
    // first, second, subtract, result's precision and scale, status, result
    const std::tuple<RDNumeric, RDNumeric, bool, uint32_t, int32_t, Outcome> cases[] = {
        // clang-format off
        {Num(0, "1"), Num(1, "05"), false, 3, 1, {0, "015"}}, {Num(0, "3"), Num(0, "-5"), false, 3, 0, {0, "-002"}},
        {Num(0, "5"), Num(0, "-5"), false, 3, 0, {0, "000"}}, {Num(0, "-0"), Num(0, "-0"), false, 1, 0, {0, "-0"}},
        {Num(0, "999"), Num(0, "1"), false, 3, 0, {12801, "999"}}, {Num(0, "-999"), Num(0, "1"), true, 3, 0, {12801, "-999"}},
        {Num(2, "125"), Num(0, "0"), false, 2, 1, {0, "12"}}, {Num(2, "-125"), Num(0, "0"), false, 2, 1, {0, "-12"}},
        {Num(2, "005"), Num(2, "006"), true, 2, 0, {0, "-00"}}, {Num(2, "100"), Num(2, "001"), true, 2, 0, {0, "00"}},
        {Num(0, "99"), Num(-3, "-1"), true, 4, 0, {0, "1099"}}, {Num(0, "99"), Num(0, "1"), false, 1, -2, {0, "1"}},
        {Num(0, "1"), Num(0, "0"), false, 0, 0, {12801, ""}}, {Num(-126, "9"), Num(-126, "9"), false, 1, -126, {12801, "9"}},
        {Num(0, "1"), Num(0, "0"), false, 0, -1, {0, ""}},  // 1 truncates to no digit
        {Num(127, ""), Num(0, "0"), true, 0, 127, {0, ""}}, // no digits below the row
        {Num(0, "?"), Num(0, "?"), false, 2, 0, {0, "30"}}, // a half-byte 15 counts 15
        {Num(0, "1?"), Num(0, "9"), true, 2, 0, {0, "16"}},
        {Num(127, "1"), Num(-39, std::string(88, '9')), true, 88, -39, // the two ends of the row
         {0, "-" + std::string(87, '9') + "8"}},
        // clang-format on
    };
    for (auto [a, b, subtract, p, s, expected] : cases) {
        RDNumeric r;
        ASSERT_EQ(0u, RDNumericCreate(&r, p, s));
        EXPECT_EQ(expected, Of((subtract ? RDNumericSubtract : RDNumericAdd)(&r, &a, &b), r))
            << Digits(a) << " " << Digits(b);
    }
    RDNumeric a = Num(1, "15"), cleared{}, r;
    EXPECT_EQ(Outcome(0, "15"), Of(RDNumericSubtract(&a, &a, &cleared), a)); // result = operand
    ASSERT_EQ(0u, RDNumericCreate(&r, 3, 0));
    r.digits[2] = 0x55; // digit bytes are cleared and refilled
    ASSERT_EQ(0u, RDNumericAdd(&r, &a, &a));
    EXPECT_EQ(0, r.digits[2]);
    EXPECT_EQ(12806u, RDNumericSubtract(&r, nullptr, &a));
    EXPECT_EQ(12806u, RDNumericAdd(nullptr, &a, &a));
}

// Records made by hand pass the validity rule with digits of weights up to
// 10^214, beyond what RDNumericCreate allows: they are still exact.
TEST(NumericAdd, RecordsBeyondTheCreateLimits) {
    RDNumeric big = Num(0, std::string(88, '9')), nines = big, r;
    big.scale = -127;
    ASSERT_EQ(0u, RDNumericCreate(&r, 1, 0));
    EXPECT_EQ(Outcome(12801, std::string(88, '9')), Of(RDNumericAdd(&big, &big, &big), big));
    EXPECT_EQ(Outcome(0, std::string(88, '0')), Of(RDNumericSubtract(&big, &big, &big), big));
    EXPECT_EQ(12801u, RDNumericAdd(&r, &big, &nines));
}

// Random operands and results of up to 18 digits with scales -6..12 (their
// values aligned at 10^-12 fit an __int128 exactly), and, a third of the
// time, operands of up to 36 digits sharing the result's format.
TEST(NumericAdd, AgreesWithExactArithmetic) {
    Random pick{std::mt19937_64(20261206)};
    __int128 pow10[37] = {1}; // up to 10^36
    for (int e = 1; e < 37; ++e)
        pow10[e] = pow10[e - 1] * 10;
    int unit = 12; // exact values count units of 10^-unit
    auto make = [&](int p, int s, __int128 *exact) {
        std::string digits = pick(0, 1) != 0 ? "-" : "";
        __int128 d = 0;
        for (int i = 0; i < p; ++i) {
            digits += pick.Digit();
            d = d * 10 + (digits.back() - '0');
        }
        *exact = d * pow10[unit - s] * (digits[0] == '-' ? -1 : 1);
        return Num(s, digits);
    };
    for (int round = 0; round < 30000; ++round) {
        __int128 va, vb;
        const bool shared = round % 3 == 0, subtract = pick(0, 1) != 0;
        const int p = shared ? pick(1, 36) : pick(0, 18), s = pick(-6, 12);
        unit = shared ? s : 12;
        RDNumeric a = make(shared ? p : pick(0, 18), shared ? s : pick(-6, 12), &va);
        RDNumeric b = make(shared ? p : pick(0, 18), shared ? s : pick(-6, 12), &vb), r;
        for (RDNumeric *n : {&a, &b}) // a stray unused half-byte: the way for any half-bytes
            if (n->precision % 2 != 0 && pick(0, 2) == 0) n->digits[n->precision / 2] |= 0x0F;
        ASSERT_EQ(0u, RDNumericCreate(&r, p, s));
        const uint32_t status = (subtract ? RDNumericSubtract : RDNumericAdd)(&r, &a, &b);
        const __int128 exact = subtract ? va - vb : va + vb;
        // Operands of one sign keep it, even for a zero sum.
        const bool negative =
            (a.sign != 0) == ((b.sign != 0) != subtract) ? a.sign != 0 : exact < 0;
        __int128 kept = (exact < 0 ? -exact : exact) / pow10[unit - s];
        const bool fits = kept < pow10[p];
        std::string expected(p, '9');
        for (int i = p - 1; fits && i >= 0; --i, kept /= 10)
            expected[i] = static_cast<char>('0' + kept % 10);
        EXPECT_EQ(fits ? 0u : 12801u, status);
        expected.insert(0, negative ? "-" : "");
        for (int i = p; fits && i < 88; ++i) // half-bytes after the last digit stay 0
            ASSERT_EQ(0, (r.digits[i / 2] >> (i % 2 == 0 ? 4 : 0)) & 0x0F);
        ASSERT_EQ(expected, Digits(r)) << "round " << round; // the seed replays it
        int32_t order = 9;
        ASSERT_EQ(0u, RDNumericCompare(&a, &b, &order));
        const int expectedOrder = a.sign != b.sign ? (a.sign != 0 ? -1 : 1) : (va > vb) - (va < vb);
        ASSERT_EQ(expectedOrder, order);
    }
}

class NumericText : public rdxtest::SystemTest {
  protected:
    static std::string Write(RDNumeric n, uint32_t charset = 256) {
        Stream s("old", charset);
        EXPECT_EQ(0u, RDStreamFromNumeric(&s, &n, charset));
        return s.Bytes();
    }
    static Outcome Read(uint32_t p, int32_t s, const std::string &text) {
        RDNumeric n;
        EXPECT_EQ(0u, RDNumericCreate(&n, p, s));
        Stream stream(text, RDCHARSET_DEFAULT);
        return Of(RDNumericFromStream(&n, &stream), n);
    }
    static void UseDecimalSeparator(const char *separator) {
        RDIntlFormat f = *RDPlatGetIntlFormat();
        std::strcpy(f.decimalSeparator, separator);
        ASSERT_EQ(0u, RDPlatSetIntlFormat(&f));
    }
};

// The text, and the float (summed digit by digit), of the same value.
TEST_F(NumericText, WritesTextAndFloat) {
    const std::pair<RDNumeric, std::string> cases[] = {
        // clang-format off
        {Num(2, "00150"), "1.5"}, {Num(2, "12300"), "123"}, {Num(2, "00000"), "0"},
        {Num(-2, "5"), "500"}, {Num(4, "12"), "0.0012"}, {Num(1, "-0125"), "-12.5"},
        {Num(2, "05"), "0.05"}, {Num(0, "-0"), "-0"}, {Num(3, "-000"), "-0"},
        {Num(3, ""), "0"}, {Num(4, "00"), "0"}, {Num(1, "100"), "10"},
        {Num(-39, std::string(88, '9')), std::string(88, '9') + std::string(39, '0')},
        // clang-format on
    };
    for (auto [n, text] : cases) {
        double d = 7;
        EXPECT_EQ(text, Write(n));
        EXPECT_EQ(0u, RDFloatFromNumeric(&d, &n));
        EXPECT_DOUBLE_EQ(std::strtod(text.c_str(), nullptr), d) << text;
        EXPECT_EQ(text[0] == '-', std::signbit(d)) << text;
    }
    EXPECT_EQ(rdxtest::Wide(u"-1.5"), Write(Num(1, "-15"), 160));
    UseDecimalSeparator("\xC2\xB7"); // a two-byte separator, converted with the text
    EXPECT_EQ("-1\xC2\xB7"
              "5",
              Write(Num(1, "-15"), RDCHARSET_DEFAULT));
    EXPECT_EQ(rdxtest::Wide(u"1\u00B75"), Write(Num(1, "15"), 160));
    RDNumeric n = Num(0, "1");
    Stream s("", 256);
    double d = 7;
    EXPECT_EQ(12804u, RDFloatFromNumeric(&d, nullptr));
    EXPECT_EQ(0.0, d); // cleared first
    EXPECT_EQ(12808u, RDStreamFromNumeric(nullptr, &n, 256));
    EXPECT_EQ(12300u, RDStreamFromNumeric(&s, &n, 0));
    EXPECT_EQ(12806u, RDStreamFromNumeric(&s, nullptr, 256));
    n.marker = 0;
    EXPECT_EQ(12806u, RDFloatFromNumeric(&d, &n));
    n.marker = 128;
    RDPlatTerm();
    EXPECT_EQ(532u, RDStreamFromNumeric(&s, &n, 256));
}

TEST_F(NumericText, ReadsBoundedByTheText) {
    const std::string zeros(5000, '0');
    const std::pair<std::string, Outcome> cases[] = {
        // clang-format off
        {"12abc", {0, "01200"}}, {"abc", {12806, "00000"}}, {"  -0.05", {0, "-00005"}},
        {"1.5E2", {0, "15000"}}, {"12345", {12801, "99999"}}, {"-", {12806, "-00000"}},
        {"+.5", {0, "00050"}}, {".", {12806, "00000"}}, {"-0.001", {0, "-00000"}},
        {"1.5e+1", {0, "01500"}}, {"1e 2", {0, "10000"}}, {"9.999e2", {0, "99990"}},
        {"1e999999999", {12801, "99999"}}, {"-1e-999999999", {0, "-00000"}},
        {"1e99999999999999999999", {12801, "99999"}}, {"1e-99999999999999999999", {0, "00000"}},
        {zeros + "1", {0, "00100"}}, {"1" + zeros, {12801, "99999"}}, {"." + zeros + "1", {0, "00000"}},
        {"1." + zeros + "e5000", {12801, "99999"}}, {"1" + zeros + "e-5002", {0, "00001"}},
        {"0" + zeros + ".25", {0, "00025"}}, {std::string("7\0" "1", 3), {0, "00700"}},
        // clang-format on
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(expected, Read(5, 2, text)) << text.substr(0, 30);
    // Other formats; zeros after the point do not count against the integer places.
    const std::tuple<uint32_t, int32_t, std::string, Outcome> formats[] = {
        // clang-format off
        {7, -3, "999.9", {0, "0000000"}}, {3, -1, "1e4", {12801, "999"}}, {2, 0, "0e5", {0, "00"}},
        {2, 4, "0.0012", {0, "12"}}, {2, 4, "0.000", {0, "00"}}, {2, 4, "0.00123", {0, "12"}},
        {2, 4, ".01", {12801, "99"}}, {2, 0, "0.05e3", {0, "50"}},
        // clang-format on
    };
    for (const auto &[p, s, text, expected] : formats)
        EXPECT_EQ(expected, Read(p, s, text)) << text;
    RDNumeric n = Num(0, "1");
    EXPECT_EQ(12806u, RDNumericFromStream(&n, nullptr));
    UseDecimalSeparator(",,");
    EXPECT_EQ(Outcome(0, "-01250"), Read(5, 2, "-12,,5,6"));
    const double value = 1.5; // float text keeps its '.'
    EXPECT_EQ(Outcome(0, "1"), Of(RDNumericFromFloat(&n, &value), n));
}

TEST_F(NumericText, FromFloatThroughFifteenDigits) {
    const std::pair<double, Outcome> cases[] = {
        // clang-format off
        {1.5, {0, "000150000"}}, {-2.25, {0, "-000225000"}}, {0.1, {0, "000010000"}},
        {1234.56789, {0, "123456789"}}, {1e20, {12801, "999999999"}}, {1e-20, {0, "000000000"}},
        {0.30000000000000004, {0, "000030000"}}, {NAN, {12806, "000000000"}},
        {INFINITY, {12806, "000000000"}},
        // clang-format on
    };
    for (const auto &[value, expected] : cases) {
        RDNumeric n = Num(5, "000000000");
        EXPECT_EQ(expected, Of(RDNumericFromFloat(&n, &value), n)) << value;
    }
    RDNumeric wide = Num(0, std::string(40, '0'));
    const double big = 1.5e20;
    EXPECT_EQ(Outcome(0, std::string(19, '0') + "15" + std::string(19, '0')),
              Of(RDNumericFromFloat(&wide, &big), wide));
    EXPECT_EQ(12806u, RDNumericFromFloat(&wide, nullptr));
    RDPlatTerm();
    EXPECT_EQ(532u, RDNumericFromFloat(&wide, &big));
}

// The text of any numeric reads back into the same format unchanged.
TEST_F(NumericText, RoundTrips) {
    Random pick{std::mt19937_64(7)};
    for (int round = 0; round < 3000; ++round) {
        const int p = pick(0, 88), s = pick(std::max(-127, p - 127), 127);
        std::string digits = pick(0, 1) != 0 ? "-" : "";
        for (int i = 0; i < p; ++i)
            digits += pick.Digit();
        const RDNumeric n = Num(s, digits);
        const std::string text = Write(n);
        ASSERT_EQ(Outcome(0, Digits(n)), Read(p, s, text)) << text << " " << p << "," << s;
    }
}

} // namespace
