// SPDX-License-Identifier: Apache-2.0
// Comparison of single field values: the primary type decides, the
// secondary value is converted to it.
#include "../values/rdx_test_env.h"
#include "fields/field_value.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"

#include <cmath>

namespace {

class FieldValueComparison : public rdxtest::SystemTest {
  protected:
    // Compares values given as interchange texts read into their types.
    int32_t Compare(uint32_t pType, const std::string &p, uint32_t sType, const std::string &s,
                    uint32_t options = 0, uint32_t status = 0) {
        Holder a(pType, p), b(sType, s);
        int32_t result = 7;
        EXPECT_EQ(status, rdx::FieldValueCompare(pType, a.value, sType, b.value, options, &result))
            << p << " vs " << s;
        return result;
    }

    // A value of a type read from text; numerics hold 5 digits, 2 after the point.
    struct Holder {
        alignas(8) uint8_t value[sizeof(RDNumeric)] = {};
        uint32_t type;
        Holder(uint32_t t, const std::string &text) : type(t) {
            if (t == RDTYPE_NUMERIC) RDNumericCreate(reinterpret_cast<RDNumeric *>(value), 5, 2);
            RDStream source{};
            EXPECT_EQ(0u, RDStreamDataSet(&source, RDCHARSET_INTERCHANGE, text.data(),
                                          static_cast<uint32_t>(text.size())));
            EXPECT_EQ(0u, rdx::FieldValueConvert(RDTYPE_TEXT, &source, t, 0, value)) << text;
            RDStreamDataFree(&source);
        }
        ~Holder() {
            if (type == RDTYPE_TEXT || type == RDTYPE_BINARY)
                RDStreamDataFree(reinterpret_cast<RDStream *>(value));
        }
    };
};

TEST_F(FieldValueComparison, NumbersByThePrimaryType) {
    const uint32_t I = RDTYPE_INT, F = RDTYPE_FLOAT, C = RDTYPE_CURRENCY, N = RDTYPE_NUMERIC,
                   T = RDTYPE_TEXT;
    EXPECT_EQ(-1, Compare(I, "5", T, "7"));
    EXPECT_EQ(1, Compare(F, "5.5", I, "5"));
    EXPECT_EQ(-1, Compare(C, "1.5", I, "2"));
    EXPECT_EQ(0, Compare(C, "2", F, "2"));
    EXPECT_EQ(0, Compare(N, "123.45", C, "123.45"));
    EXPECT_EQ(1, Compare(N, "123.46", T, "123.45"));
    // A secondary that does not convert fails the comparison.
    Holder five(I, "5"), letter(T, "x");
    int32_t result = 7;
    EXPECT_EQ(RDSTATUS_NOINT, rdx::FieldValueCompare(I, five.value, T, letter.value, 0, &result));
    EXPECT_EQ(0, result);
}

TEST_F(FieldValueComparison, FloatsApproximately) {
    const uint32_t F = RDTYPE_FLOAT;
    EXPECT_EQ(0, Compare(F, "1.0", F, "1.0000000001", RDCOMPARE_APPROX));
    EXPECT_EQ(-1, Compare(F, "1.0", F, "1.0000000001"));
    EXPECT_EQ(0, Compare(F, "0", F, "0.000000000000000000000000000001", RDCOMPARE_APPROX));
    EXPECT_EQ(-1, Compare(F, "1.0", F, "1.001", RDCOMPARE_APPROX));

    double minusOne = -1, one = 1, nan = std::nan(""), otherNan = -std::nan("");
    auto compare = [](double a, double b, uint32_t options) {
        int32_t result = 7;
        EXPECT_EQ(0u, rdx::FieldValueCompare(RDTYPE_FLOAT, &a, RDTYPE_FLOAT, &b, options, &result));
        return result;
    };
    EXPECT_EQ(-1, compare(minusOne, one, RDCOMPARE_APPROX));
    // NaN orders after every number and equals every NaN.
    EXPECT_EQ(1, compare(nan, one, RDCOMPARE_APPROX));
    EXPECT_EQ(-1, compare(one, nan, 0));
    EXPECT_EQ(0, compare(nan, otherNan, 0));
    EXPECT_EQ(1, compare(nan, -INFINITY, 0));
}

// A value beyond the numeric's precision orders by its sign; it never
// equals the largest numeric it would saturate to.
TEST_F(FieldValueComparison, NumericAgainstValuesBeyondItsRange) {
    const uint32_t F = RDTYPE_FLOAT, N = RDTYPE_NUMERIC, T = RDTYPE_TEXT;
    EXPECT_EQ(-1, Compare(N, "999.99", F, "1e10"));
    EXPECT_EQ(1, Compare(N, "-999.99", F, "-1e10"));
    EXPECT_EQ(1, Compare(N, "-999.99", T, "-5000"));
    EXPECT_EQ(0, Compare(N, "999.99", T, "999.99"));
    EXPECT_EQ(-1, Compare(N, "1", T, "99999999999999999999999"));
}

TEST_F(FieldValueComparison, DatetimesByCalendarParts) {
    auto at = [](int32_t hundredth) {
        const RDDatetimeParts parts{2024, 3, 5, -1, 10, 30, 45, hundredth, 0, 0};
        RDDatetime d{};
        EXPECT_EQ(0u, RDDatetimeSetParts(&d, &parts, 0));
        return d;
    };
    auto compare = [](RDDatetime a, RDDatetime b, uint32_t options) {
        int32_t result = 7;
        EXPECT_EQ(
            0u, rdx::FieldValueCompare(RDTYPE_DATETIME, &a, RDTYPE_DATETIME, &b, options, &result));
        return result;
    };
    EXPECT_EQ(-1, compare(at(10), at(20), 0));
    EXPECT_EQ(-1, compare(at(10), at(20), RDCOMPARE_DATEPARTS));
    EXPECT_EQ(0, compare(at(10), at(20), RDCOMPARE_NOHUNDREDTHS));
    EXPECT_EQ(1, compare(at(30), at(20), RDCOMPARE_DATEPARTS));
    EXPECT_EQ(0, compare(at(20), at(20), RDCOMPARE_DATEPARTS));

    const int32_t one = 1;
    const RDDatetime d = at(0);
    int32_t result = 7;
    EXPECT_EQ(RDSTATUS_BADKINDS,
              rdx::FieldValueCompare(RDTYPE_DATETIME, &d, RDTYPE_INT, &one, 0, &result));
}

TEST_F(FieldValueComparison, StreamsAndBadTypes) {
    EXPECT_EQ(-1, Compare(RDTYPE_TEXT, "abc", RDTYPE_TEXT, "abd"));
    EXPECT_EQ(0, Compare(RDTYPE_TEXT, "abc", RDTYPE_TEXT, "abc"));
    int32_t a = 1, result = 7;
    EXPECT_EQ(RDSTATUS_BADTYPE, rdx::FieldValueCompare(9, &a, RDTYPE_INT, &a, 0, &result));
    EXPECT_EQ(0, result);
}

} // namespace
