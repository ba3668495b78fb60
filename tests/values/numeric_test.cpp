// Numeric: creation and validity, comparison, addition and subtraction
// (against exact arithmetic), float conversions and both text forms.
#include "rdx_numeric.h"
#include "rdx_test_env.h"

#include <cmath>
#include <cstring>
#include <random>

using rdxtest::Stream;

namespace {

// A numeric of precision p and scale s holding digits ("-0125" for sign 1).
RDNumeric Num(uint32_t p, int32_t s, std::string digits) {
    RDNumeric n;
    EXPECT_EQ(0u, RDNumericCreate(&n, p, s));
    if (!digits.empty() && digits[0] == '-') {
        n.sign = 1;
        digits.erase(0, 1);
    }
    EXPECT_EQ(p, digits.size());
    for (size_t i = 0; i < digits.size(); ++i)
        n.digits[i / 2] |= static_cast<uint8_t>((digits[i] - '0') << (i % 2 == 0 ? 4 : 0));
    return n;
}

using Outcome = std::pair<uint32_t, std::string>; // status and digits

// ASCII text as two-byte little-endian text.
std::string Wide(const std::string &ascii) {
    std::string wide;
    for (char c : ascii)
        wide += {c, '\0'};
    return wide;
}

// The first `precision` digits, with a '-' for sign 1.
std::string Digits(const RDNumeric &n) {
    std::string text = n.sign != 0 ? "-" : "";
    for (int i = 0; i < n.precision; ++i)
        text += static_cast<char>('0' + ((n.digits[i / 2] >> (i % 2 == 0 ? 4 : 0)) & 0xF));
    return text;
}

TEST(NumericRecord, CreateLimitsAndValidity) {
    const struct {
        uint32_t precision;
        int32_t scale;
        uint32_t status;
    } cases[] = {{89, 0, 12806},     {0, 128, 12806},       {0, -128, 12806}, {88, -39, 0},
                 {88, -40, 12806},   {0, 127, 0},           {0, -127, 0},     {1, -127, 12806},
                 {5, 0x7FFFFFFF, 0}, {0xFFFFFFFF, 0, 12806}};
    for (const auto &c : cases) {
        RDNumeric n;
        std::memset(&n, 0x5A, sizeof n);
        EXPECT_EQ(c.status, RDNumericCreate(&n, c.precision, c.scale))
            << c.precision << " " << c.scale;
        if (c.status == 0) {
            EXPECT_EQ(c.precision, RDNumericGetPrecision(&n));
            EXPECT_EQ(c.scale == 0x7FFFFFFF ? 0 : c.scale, RDNumericGetScale(&n));
            EXPECT_EQ(std::string(44, '\0'), std::string(reinterpret_cast<char *>(n.digits), 44));
        }
    }
    EXPECT_EQ(12806u, RDNumericCreate(nullptr, 5, 2));
    // A record whose first four bytes are zero becomes 0 (88, 44) when first looked at.
    RDNumeric cleared, zero = Num(3, 0, "000"), bad = Num(1, 0, "1"), low = bad, wide = bad;
    std::memset(&cleared, 0, 4);
    std::memset(cleared.digits, 7, sizeof cleared.digits);
    int32_t order = 9;
    EXPECT_EQ(0u, RDNumericCompare(&cleared, &zero, &order));
    EXPECT_EQ(0, order);
    EXPECT_EQ(88u + 44u, RDNumericGetPrecision(&cleared) + RDNumericGetScale(&cleared));
    EXPECT_EQ(std::string(88, '0'), Digits(cleared));
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
    const RDNumeric zeroBytes{};
    EXPECT_EQ(0, std::memcmp(&bad, &zeroBytes, sizeof bad));
}

TEST(NumericCompare, AlignsWeightsAndOrdersSigns) {
    const struct {
        RDNumeric a, b;
        int32_t expected;
    } cases[] = {
        {Num(1, 0, "-0"), Num(1, 0, "0"), -1},       {Num(1, -2, "1"), Num(4, 2, "9999"), 1},
        {Num(2, 3, "10"), Num(4, 5, "1000"), 0},     {Num(3, 3, "001"), Num(1, -3, "0"), 1},
        {Num(3, 0, "-100"), Num(5, 2, "-10001"), 1}, {Num(2, 0, "-05"), Num(2, 0, "-07"), 1},
        {Num(1, 0, "0"), Num(4, 1, "0000"), 0},      {Num(2, 1, "11"), Num(2, 2, "99"), 1},
        {Num(3, 1, "123"), Num(3, 1, "124"), -1},    {Num(0, 5, ""), Num(1, 0, "-0"), 1},
    };
    for (auto c : cases) {
        int32_t order = 9;
        EXPECT_EQ(0u, RDNumericCompare(&c.a, &c.b, &order));
        EXPECT_EQ(c.expected, order) << Digits(c.a) << " vs " << Digits(c.b);
        EXPECT_EQ(0u, RDNumericCompare(&c.b, &c.a, &order));
        EXPECT_EQ(-c.expected, order);
    }
    RDNumeric a = Num(1, 0, "1");
    EXPECT_EQ(12302u, RDNumericCompare(&a, &a, nullptr));
    int32_t order = 9;
    EXPECT_EQ(12806u, RDNumericCompare(&a, nullptr, &order));
    EXPECT_EQ(0, order);
}

TEST(NumericAdd, TruncatesSaturatesAndSignsResults) {
    const struct {
        RDNumeric a, b;
        bool subtract;
        uint32_t p;
        int32_t s;
        uint32_t status;
        std::string digits;
    } cases[] = {
        // clang-format off
        {Num(1, 0, "1"), Num(2, 1, "05"), false, 3, 1, 0, "015"},
        {Num(1, 0, "3"), Num(1, 0, "-5"), false, 3, 0, 0, "-002"},
        {Num(1, 0, "5"), Num(1, 0, "-5"), false, 3, 0, 0, "000"},   {Num(1, 0, "-0"), Num(1, 0, "-0"), false, 1, 0, 0, "-0"},
        {Num(3, 0, "999"), Num(1, 0, "1"), false, 3, 0, 12801, "999"}, {Num(3, 0, "-999"), Num(1, 0, "1"), true, 3, 0, 12801, "-999"},
        {Num(3, 2, "125"), Num(1, 0, "0"), false, 2, 1, 0, "12"},   {Num(3, 2, "-125"), Num(1, 0, "0"), false, 2, 1, 0, "-12"},
        {Num(3, 2, "005"), Num(3, 2, "006"), true, 2, 0, 0, "-00"}, {Num(3, 2, "100"), Num(3, 2, "001"), true, 2, 0, 0, "00"},
        {Num(2, 0, "99"), Num(1, -3, "-1"), true, 4, 0, 0, "1099"}, {Num(2, 0, "99"), Num(1, 0, "1"), false, 1, -2, 0, "1"},
        {Num(1, 0, "1"), Num(1, 0, "0"), false, 0, 0, 12801, ""},
        {Num(1, 0, "1"), Num(1, 0, "0"), false, 0, -1, 0, ""},  // 1 truncates to no digit
        {Num(0, 127, ""), Num(1, 0, "0"), true, 0, 127, 0, ""}, // no digits below the row
        {Num(1, -126, "9"), Num(1, -126, "9"), false, 1, -126, 12801, "9"},
        {Num(1, 0, "?"), Num(1, 0, "?"), false, 2, 0, 0, "30"}, // a half-byte 15 counts 15
        {Num(2, 0, "1?"), Num(1, 0, "9"), true, 2, 0, 0, "16"},
        {Num(1, 127, "1"), Num(88, -39, std::string(88, '9')), true, 88, -39, 0,
         "-" + std::string(87, '9') + "8"}, // the two ends of the row
        // clang-format on
    };
    for (auto c : cases) {
        RDNumeric r;
        ASSERT_EQ(0u, RDNumericCreate(&r, c.p, c.s));
        EXPECT_EQ(c.status, (c.subtract ? RDNumericSubtract : RDNumericAdd)(&r, &c.a, &c.b))
            << Digits(c.a) << (c.subtract ? " - " : " + ") << Digits(c.b);
        EXPECT_EQ(c.digits, Digits(r)) << Digits(c.a) << " " << Digits(c.b);
    }
    RDNumeric a = Num(2, 1, "15"), cleared{}, r;
    ASSERT_EQ(0u, RDNumericSubtract(&a, &a, &cleared)); // the result may be an operand
    EXPECT_EQ("15", Digits(a));
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
    RDNumeric big = Num(88, 0, std::string(88, '9')), nines = big, r;
    big.scale = -127;
    ASSERT_EQ(0u, RDNumericCreate(&r, 1, 0));
    EXPECT_EQ(12801u, RDNumericAdd(&big, &big, &big));
    EXPECT_EQ(std::string(88, '9'), Digits(big));
    EXPECT_EQ(0u, RDNumericSubtract(&big, &big, &big));
    EXPECT_EQ(std::string(88, '0'), Digits(big));
    EXPECT_EQ(12801u, RDNumericAdd(&r, &big, &nines));
}

// Random operands and results of up to 18 digits with scales -6..12 (their
// values aligned at 10^-12 fit an __int128 exactly), and, a third of the
// time, operands of up to 36 digits sharing the result's format.
TEST(NumericAdd, AgreesWithExactArithmetic) {
    std::mt19937_64 random(20261206);
    auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto pow10 = [](int e) {
        __int128 v = 1;
        while (e-- > 0)
            v *= 10;
        return v;
    };
    int unit = 12; // exact values count units of 10^-unit
    auto make = [&](int p, int s, __int128 *exact) {
        std::string digits = pick(0, 1) != 0 ? "-" : "";
        __int128 d = 0;
        for (int i = 0; i < p; ++i) {
            const int digit = pick(0, 3) == 0 ? (pick(0, 1) != 0 ? 9 : 0) : pick(0, 9);
            digits += static_cast<char>('0' + digit);
            d = d * 10 + digit;
        }
        *exact = d * pow10(unit - s) * (digits[0] == '-' ? -1 : 1);
        return Num(p, s, digits);
    };
    for (int round = 0; round < 30000; ++round) {
        __int128 va, vb;
        const bool shared = round % 3 == 0;
        const int p = shared ? pick(1, 36) : pick(0, 18), s = pick(-6, 12);
        unit = shared ? s : 12;
        RDNumeric a = make(shared ? p : pick(0, 18), shared ? s : pick(-6, 12), &va);
        RDNumeric b = make(shared ? p : pick(0, 18), shared ? s : pick(-6, 12), &vb), r;
        for (RDNumeric *n : {&a, &b}) // a stray unused half-byte: the way for any half-bytes
            if (n->precision % 2 != 0 && pick(0, 2) == 0) n->digits[n->precision / 2] |= 0x0F;
        const bool subtract = pick(0, 1) != 0;
        ASSERT_EQ(0u, RDNumericCreate(&r, p, s));
        const uint32_t status = (subtract ? RDNumericSubtract : RDNumericAdd)(&r, &a, &b);

        const bool bNegative = (b.sign != 0) != subtract;
        const __int128 exact = subtract ? va - vb : va + vb;
        const bool negative = (a.sign != 0) == bNegative ? a.sign != 0 : exact < 0;
        __int128 kept = (exact < 0 ? -exact : exact) / pow10(unit - s);
        const bool fits = kept < pow10(p);
        std::string expected(p, '9');
        for (int i = p - 1; fits && i >= 0; --i, kept /= 10)
            expected[i] = static_cast<char>('0' + kept % 10);
        EXPECT_EQ(fits ? 0u : 12801u, status);
        expected.insert(0, negative ? "-" : "");
        for (int i = p; fits && i < 88; ++i) // half-bytes after the last digit stay 0
            ASSERT_EQ(0, (r.digits[i / 2] >> (i % 2 == 0 ? 4 : 0)) & 0x0F);
        ASSERT_EQ(expected, Digits(r))
            << Digits(a) << " " << int(a.scale) << (subtract ? " - " : " + ") << Digits(b) << " "
            << int(b.scale) << " into " << p << "," << s;
        int32_t order = 9;
        ASSERT_EQ(0u, RDNumericCompare(&a, &b, &order));
        const int expectedOrder = a.sign != b.sign ? (a.sign != 0 ? -1 : 1) : (va > vb) - (va < vb);
        ASSERT_EQ(expectedOrder, order);
    }
}

TEST(NumericFloat, SumsDigitsByWeight) {
    const std::pair<RDNumeric, double> cases[] = {
        {Num(4, 1, "-0125"), -12.5}, {Num(2, 4, "12"), 0.0012}, {Num(1, -2, "5"), 500.0},
        {Num(0, 3, ""), 0.0},        {Num(3, 3, "-000"), -0.0},
    };
    for (auto [n, value] : cases) {
        double d = 7;
        EXPECT_EQ(0u, RDFloatFromNumeric(&d, &n));
        EXPECT_DOUBLE_EQ(value, d);
        EXPECT_EQ(std::signbit(value), std::signbit(d));
    }
    RDNumeric n = Num(1, 0, "1");
    double d = 7;
    EXPECT_EQ(12804u, RDFloatFromNumeric(&d, nullptr));
    EXPECT_EQ(0.0, d);
    n.marker = 0;
    EXPECT_EQ(12806u, RDFloatFromNumeric(&d, &n));
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
        const uint32_t status = RDNumericFromStream(&n, &stream);
        return {status, Digits(n)};
    }
    static void UseDecimalSeparator(const char *separator) {
        RDIntlFormat f = *RDPlatGetIntlFormat();
        std::strcpy(f.decimalSeparator, separator);
        ASSERT_EQ(0u, RDPlatSetIntlFormat(&f));
    }
};

TEST_F(NumericText, Writes) {
    const std::pair<RDNumeric, std::string> cases[] = {
        // clang-format off
        {Num(5, 2, "00150"), "1.5"}, {Num(5, 2, "12300"), "123"}, {Num(5, 2, "00000"), "0"},
        {Num(3, 0, "000"), "0"}, {Num(1, -2, "5"), "500"}, {Num(2, 4, "12"), "0.0012"},
        {Num(4, 1, "-0125"), "-12.5"}, {Num(3, 2, "150"), "1.5"}, {Num(2, 2, "05"), "0.05"},
        {Num(1, 0, "-0"), "-0"}, {Num(2, 4, "00"), "0"}, {Num(3, 1, "100"), "10"},
        {Num(88, -39, std::string(88, '9')), std::string(88, '9') + std::string(39, '0')},
        // clang-format on
    };
    for (const auto &[n, text] : cases)
        EXPECT_EQ(text, Write(n));
    EXPECT_EQ(Wide("-1.5"), Write(Num(2, 1, "-15"), 160));
    UseDecimalSeparator("\xC2\xB7"); // a two-byte separator, converted with the text
    EXPECT_EQ("-1\xC2\xB7"
              "5",
              Write(Num(2, 1, "-15"), RDCHARSET_DEFAULT));
    EXPECT_EQ(Wide("1") + std::string("\xB7\0", 2) + Wide("5"), Write(Num(2, 1, "15"), 160));
    RDNumeric n = Num(1, 0, "1");
    Stream s("", 256);
    EXPECT_EQ(12808u, RDStreamFromNumeric(nullptr, &n, 256));
    EXPECT_EQ(12300u, RDStreamFromNumeric(&s, &n, 0));
    EXPECT_EQ(12806u, RDStreamFromNumeric(&s, nullptr, 256));
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
    EXPECT_EQ(Outcome(0, "0000000"), Read(7, -3, "999.9")); // below the last place
    EXPECT_EQ(Outcome(12801, "999"), Read(3, -1, "1e4"));
    // Zeros after the point do not count against the integer places.
    const std::pair<std::string, Outcome> narrow[] = {{"0.0012", {0, "12"}},
                                                      {"0.000", {0, "00"}},
                                                      {"0.00123", {0, "12"}},
                                                      {".01", {12801, "99"}}};
    for (const auto &[text, expected] : narrow)
        EXPECT_EQ(expected, Read(2, 4, text)) << text;
    EXPECT_EQ(Outcome(0, "50"), Read(2, 0, "0.05e3"));
    EXPECT_EQ(Outcome(0, "00"), Read(2, 0, "0e5"));
    RDNumeric n = Num(1, 0, "1");
    EXPECT_EQ(12806u, RDNumericFromStream(&n, nullptr));
    UseDecimalSeparator(",,");
    EXPECT_EQ(Outcome(0, "-01250"), Read(5, 2, "-12,,5,6"));
    const double value = 1.5;
    ASSERT_EQ(0u, RDNumericFromFloat(&n, &value)); // float text keeps its '.'
    EXPECT_EQ("1", Digits(n));
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
        RDNumeric n = Num(9, 5, "000000000");
        const uint32_t status = RDNumericFromFloat(&n, &value);
        EXPECT_EQ(expected, Outcome(status, Digits(n))) << value;
    }
    RDNumeric wide;
    ASSERT_EQ(0u, RDNumericCreate(&wide, 40, 0));
    const double big = 1.5e20;
    ASSERT_EQ(0u, RDNumericFromFloat(&wide, &big));
    EXPECT_EQ("150000000000000000000", Write(wide));
    EXPECT_EQ(12806u, RDNumericFromFloat(&wide, nullptr));
    RDPlatTerm();
    EXPECT_EQ(532u, RDNumericFromFloat(&wide, &big));
}

// The text of any numeric reads back into the same format unchanged.
TEST_F(NumericText, RoundTrips) {
    std::mt19937 random(7);
    auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    for (int round = 0; round < 3000; ++round) {
        const int p = pick(0, 88), s = pick(std::max(-127, p - 127), 127);
        std::string digits = pick(0, 1) != 0 ? "-" : "";
        for (int i = 0; i < p; ++i)
            digits += static_cast<char>('0' + (pick(0, 2) == 0 ? 0 : pick(0, 9)));
        const RDNumeric n = Num(p, s, digits);
        const std::string text = Write(n);
        ASSERT_EQ(Outcome(0, Digits(n)), Read(p, s, text)) << text << " " << p << "," << s;
    }
}

} // namespace
