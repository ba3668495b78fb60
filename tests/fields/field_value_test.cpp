// SPDX-License-Identifier: Apache-2.0
// Field values through handles: typed getters and setters with conversion,
// copies, bulk conversion and comparison, their check order and round trips.
#include "field_test_env.h"
#include "rdx_fieldvalue.h"

#include <random>

namespace {

using fieldtest::FieldsTest;
using rdxtest::Le16;
using rdxtest::Stream;

// A free-standing field of type and count, freed at the end of the scope.
struct Field {
    uint32_t h = 0;
    Field(uint32_t type, uint32_t count = 1) { EXPECT_EQ(0u, RDFieldAlloc(&h, type, count)); }
    ~Field() { RDFieldFree(h); }
    operator uint32_t() const { return h; }
};

void SetText(uint32_t field, uint32_t index, const std::string &text) {
    Stream s(text, RDCHARSET_INTERCHANGE);
    ASSERT_EQ(0u, RDFieldSetStream(field, index, &s));
}

std::string GetText(uint32_t field, uint32_t index, uint32_t charset = RDCHARSET_INTERCHANGE) {
    Stream s;
    EXPECT_EQ(0u, RDFieldGetStream(field, index, charset, &s, nullptr));
    return s.Bytes();
}

std::string Doubles(std::initializer_list<double> values) {
    return rdxtest::ValueList(std::vector<double>(values));
}

TEST_F(FieldsTest, GettersConvertFromTheFieldsType) {
    Field f(RDTYPE_FLOAT), i(RDTYPE_INT), b(RDTYPE_BINARY);
    const double minus = -2.7;
    ASSERT_EQ(0u, RDFieldSetFloat(f, 1, &minus));
    int32_t n = 0;
    uint32_t isNull = 9;
    ASSERT_EQ(0u, RDFieldGetInt(f, 1, &n, &isNull));
    EXPECT_EQ(-2, n);
    EXPECT_EQ(0u, isNull);

    const int32_t answer = 42;
    ASSERT_EQ(0u, RDFieldSetInt(i, 1, &answer));
    RDDatetime d{};
    EXPECT_EQ(RDSTATUS_BADKINDS, RDFieldGetDatetime(i, 1, &d, nullptr));
    EXPECT_EQ(std::string("\x2A\0\0\0", 4), GetText(i, 1, RDKIND_BINARY));
    EXPECT_EQ(Doubles({-2.7}), GetText(f, 1, RDKIND_NUMBERLIST));
    EXPECT_EQ("42", GetText(i, 1));

    Stream list(Doubles({2.5, 7, 9}), RDKIND_NUMBERLIST);
    ASSERT_EQ(0u, RDFieldSetStream(b, 1, &list));
    double first = 0;
    EXPECT_EQ(RDSTATUS_NOFIT, RDFieldGetFloat(b, 1, &first, nullptr));
    EXPECT_EQ(2.5, first);
}

TEST_F(FieldsTest, NullValuesClearOutputsAndReportThemselves) {
    Field i(RDTYPE_INT), t(RDTYPE_TEXT), n(RDTYPE_NUMERIC);
    uint32_t isNull = 0;
    EXPECT_EQ(0u, RDFieldGetInt(i, 1, nullptr, &isNull));
    EXPECT_EQ(1u, isNull);
    int32_t v = 7;
    ASSERT_EQ(0u, RDFieldGetInt(i, 1, &v, nullptr));
    EXPECT_EQ(0, v);
    RDNumeric numeric;
    RDNumericCreate(&numeric, 10, 2);
    ASSERT_EQ(0u, RDFieldGetNumeric(n, 1, &numeric, &isNull));
    EXPECT_EQ(0u, numeric.precision);
    Stream s("left over", RDCHARSET_INTERCHANGE);
    ASSERT_EQ(0u, RDFieldGetStream(t, 1, 0, &s, nullptr));
    EXPECT_EQ(0u, s.s.length);
}

TEST_F(FieldsTest, ValueAccessChecksInOrder) {
    Field i(RDTYPE_INT, 2);
    const int32_t one = 1;
    const struct {
        uint32_t handle, index, expected;
    } cases[] = {{i.h + 100, 0, RDSTATUS_NOFIELD},
                 {i.h, 0, RDSTATUS_INDEXZERO},
                 {i.h, 3, RDSTATUS_BEYONDEND}};
    for (const auto &c : cases) {
        uint32_t isNull = 9;
        EXPECT_EQ(c.expected, RDFieldGetInt(c.handle, c.index, nullptr, &isNull));
        EXPECT_EQ(0u, isNull);
        EXPECT_EQ(c.expected, RDFieldSetInt(c.handle, c.index, nullptr));
        EXPECT_EQ(c.expected, RDFieldSetStream(c.handle, c.index, nullptr));
    }
    // A missing value is refused after the handle and index, each setter
    // with the status of its type.
    EXPECT_EQ(RDSTATUS_NOINT, RDFieldSetInt(i, 1, nullptr));
    EXPECT_EQ(RDSTATUS_NOFLOAT, RDFieldSetFloat(i, 1, nullptr));
    EXPECT_EQ(RDSTATUS_NOCURRENCY, RDFieldSetCurrency(i, 1, nullptr));
    EXPECT_EQ(RDSTATUS_NONUMERIC, RDFieldSetNumeric(i, 1, nullptr));
    EXPECT_EQ(RDSTATUS_NODATETIME, RDFieldSetDatetime(i, 1, nullptr));
    EXPECT_EQ(RDSTATUS_NOSTREAM, RDFieldSetStream(i, 1, nullptr));
    EXPECT_EQ(1u, RDFieldIsNull(i, 1));

    RDSystemTerm();
    EXPECT_EQ(RDSTATUS_NOTREADY, RDFieldSetInt(1, 1, &one));
    EXPECT_EQ(RDSTATUS_NOTREADY, RDFieldGetInt(1, 1, nullptr, nullptr));
    int32_t result = 5;
    EXPECT_EQ(RDSTATUS_NOTREADY, RDFieldCompare(1, 1, 1, 1, 1, 0, &result));
    EXPECT_EQ(0, result);
    ASSERT_EQ(0u, RDSystemInit());
}

TEST_F(FieldsTest, SettersConvertIntoTheFieldsTypeAndKeepItsFormat) {
    Field i(RDTYPE_INT), t(RDTYPE_TEXT);
    SetText(i, 1, "-42");
    int32_t v = 0;
    ASSERT_EQ(0u, RDFieldGetInt(i, 1, &v, nullptr));
    EXPECT_EQ(-42, v);
    // A failed setter leaves the value's null state alone.
    Stream bad("x", RDCHARSET_INTERCHANGE);
    ASSERT_EQ(0u, RDFieldSetNull(i, 1, 1));
    EXPECT_EQ(RDSTATUS_NOINT, RDFieldSetStream(i, 1, &bad));
    EXPECT_EQ(1u, RDFieldIsNull(i, 1));

    ASSERT_EQ(0u, RDFieldSetFormatStream(t, RDSTREAM_TRUNCATE, 4, RDCHARSET_INTERCHANGE));
    Stream wide(rdxtest::Wide(u"abcdef"), RDCHARSET_UNICODE);
    ASSERT_EQ(0u, RDFieldSetStream(t, 1, &wide));
    RDStream *slot = nullptr;
    ASSERT_EQ(0u, RDFieldGetBuffer(t, 1, reinterpret_cast<void **>(&slot), nullptr));
    EXPECT_EQ(4u, slot->maxLength);
    EXPECT_EQ(RDCHARSET_UNICODE, slot->charset);
    EXPECT_EQ(rdxtest::Wide(u"ab"), GetText(t, 1, 0));
    const double pi = 3.25;
    ASSERT_EQ(0u, RDFieldSetFloat(t, 1, &pi));
    EXPECT_EQ("3.25", GetText(t, 1));
}

TEST_F(FieldsTest, CopiesAreWholeAndIndependent) {
    Field t(RDTYPE_TEXT, 2);
    SetText(t, 2, "second");
    uint32_t copy = 99;
    EXPECT_EQ(RDSTATUS_NULLARG2, RDFieldCopy(nullptr, t));
    EXPECT_EQ(RDSTATUS_NOFIELD, RDFieldCopy(&copy, t + 100));
    EXPECT_EQ(0u, copy);
    ASSERT_EQ(0u, RDFieldCopy(&copy, t));
    EXPECT_NE(copy, t.h);
    SetText(t, 2, "changed");
    EXPECT_EQ("second", GetText(copy, 2));
    EXPECT_EQ(1u, RDFieldIsNull(copy, 1));
    RDFieldFree(copy);

    const int failures = rdxtest::ForEachAllocationFailure(
        [&] {
            uint32_t h = 0;
            const uint32_t status = RDFieldCopy(&h, t);
            if (status == 0)
                RDFieldFree(h);
            else
                EXPECT_EQ(0u, h);
            return status;
        },
        [](uint32_t status) { EXPECT_EQ(RDSTATUS_NOMEMORY, status); });
    EXPECT_GT(failures, 0);
}

TEST_F(FieldsTest, ConvertRunsOfValues) {
    Field from(RDTYPE_TEXT, 3), to(RDTYPE_INT, 5);
    SetText(from, 1, "1");
    SetText(from, 3, "3");
    const int32_t seven = 7;
    for (uint32_t k = 1; k <= 5; ++k)
        ASSERT_EQ(0u, RDFieldSetInt(to, k, &seven));
    ASSERT_EQ(0u, RDFieldConvert(to, 1, from, 1, 10));
    int32_t v = 0;
    uint32_t isNull = 0;
    EXPECT_EQ(0u, RDFieldGetInt(to, 1, &v, &isNull));
    EXPECT_EQ(1, v);
    EXPECT_EQ(1u, RDFieldIsNull(to, 2)); // a null source value
    EXPECT_EQ(0u, RDFieldGetInt(to, 3, &v, nullptr));
    EXPECT_EQ(3, v);
    EXPECT_EQ(0u, RDFieldGetInt(to, 4, &v, nullptr));
    EXPECT_EQ(7, v); // beyond the source's values

    // A failure stops the run; earlier values stay converted.
    SetText(from, 2, "x");
    SetText(from, 1, "11");
    EXPECT_EQ(RDSTATUS_NOINT, RDFieldConvert(to, 1, from, 1, 3));
    EXPECT_EQ(0u, RDFieldGetInt(to, 1, &v, nullptr));
    EXPECT_EQ(11, v);

    EXPECT_EQ(RDSTATUS_NOFIELD, RDFieldConvert(to, 1, 999999, 1, 1));
    EXPECT_EQ(RDSTATUS_INDEXZERO, RDFieldConvert(to, 0, from, 0, 1));
    EXPECT_EQ(RDSTATUS_BEYONDEND, RDFieldConvert(to, 0, from, 4, 1)); // source first
    EXPECT_EQ(RDSTATUS_BEYONDEND, RDFieldConvert(to, 6, from, 1, 1));
}

// Within one field, a run moved to later positions keeps its values.
TEST_F(FieldsTest, ConvertWithinOneFieldOverlapping) {
    Field f(RDTYPE_INT, 5);
    for (int32_t k = 1; k <= 5; ++k)
        ASSERT_EQ(0u, RDFieldSetInt(f, k, &k));
    ASSERT_EQ(0u, RDFieldConvert(f, 2, f, 1, 4));
    ASSERT_EQ(0u, RDFieldConvert(f, 1, f, 2, 2));
    std::string values;
    for (uint32_t k = 1; k <= 5; ++k) {
        int32_t v = 0;
        RDFieldGetInt(f, k, &v, nullptr);
        values += std::to_string(v);
    }
    EXPECT_EQ("12234", values);
}

TEST_F(FieldsTest, CompareByThePrimaryFieldWithNullsLast) {
    Field i(RDTYPE_INT, 3), f(RDTYPE_FLOAT, 2), t(RDTYPE_TEXT, 2);
    const int32_t five = 5;
    const double fiveAndHalf = 5.5;
    ASSERT_EQ(0u, RDFieldSetInt(i, 1, &five));
    ASSERT_EQ(0u, RDFieldSetFloat(f, 1, &fiveAndHalf));
    int32_t result = 9;
    ASSERT_EQ(0u, RDFieldCompare(i, 1, f, 1, 1, 0, &result));
    EXPECT_EQ(-1, result); // the Float field decides; the result stays A's view
    ASSERT_EQ(0u, RDFieldCompare(f, 1, i, 1, 1, 0, &result));
    EXPECT_EQ(1, result);
    // Text "5" against Int 5: the number field is primary.
    SetText(t, 1, "5");
    ASSERT_EQ(0u, RDFieldCompare(t, 1, i, 1, 1, 0, &result));
    EXPECT_EQ(0, result);

    // Nulls: value 2 of each is null.
    ASSERT_EQ(0u, RDFieldCompare(i, 2, f, 1, 1, 0, &result));
    EXPECT_EQ(1, result);
    ASSERT_EQ(0u, RDFieldCompare(i, 1, f, 2, 1, 0, &result));
    EXPECT_EQ(-1, result);
    ASSERT_EQ(0u, RDFieldCompare(i, 2, f, 2, 1, 0, &result));
    EXPECT_EQ(1, result); // equal nulls; f's values ran out first
    ASSERT_EQ(0u, RDFieldCompare(i, 2, f, 2, 1, 0, &result));
    ASSERT_EQ(0u, RDFieldCompare(t, 2, f, 2, 1, 0, &result));
    EXPECT_EQ(0, result);

    EXPECT_EQ(RDSTATUS_NULLARG2, RDFieldCompare(i, 1, f, 1, 1, 0, nullptr));
    EXPECT_EQ(RDSTATUS_NOFIELD, RDFieldCompare(i, 1, 999999, 1, 1, 0, &result));
    EXPECT_EQ(RDSTATUS_BEYONDEND, RDFieldCompare(i, 4, f, 0, 1, 0, &result)); // A first
    EXPECT_EQ(RDSTATUS_INDEXZERO, RDFieldCompare(i, 1, f, 0, 1, 0, &result));
}

TEST_F(FieldsTest, CompareTailRule) {
    Field two(RDTYPE_INT, 2), three(RDTYPE_INT, 3);
    for (int32_t k = 1; k <= 3; ++k) {
        if (k <= 2) {
            ASSERT_EQ(0u, RDFieldSetInt(two, k, &k));
        }
        ASSERT_EQ(0u, RDFieldSetInt(three, k, &k));
    }
    int32_t result = 9;
    ASSERT_EQ(0u, RDFieldCompare(two, 1, three, 1, 5, 0, &result));
    EXPECT_EQ(-1, result);
    ASSERT_EQ(0u, RDFieldCompare(three, 1, two, 1, 5, 0, &result));
    EXPECT_EQ(1, result);
    ASSERT_EQ(0u, RDFieldCompare(three, 1, two, 1, 2, 0, &result));
    EXPECT_EQ(1, result); // the shorter run reached its field's end
    ASSERT_EQ(0u, RDFieldCompare(three, 1, two, 1, 0, 0, &result));
    EXPECT_EQ(0, result);
    ASSERT_EQ(0u, RDFieldCompare(three, 2, two, 2, 5, 0, &result));
    EXPECT_EQ(1, result);
}

// Values written as text and read back give the same value, under the
// international settings of the test and with ',' as decimal separator.
// Texts carry no zone: date-times are those of the local zone.
TEST_F(FieldsTest, RoundTripsThroughText) {
    std::mt19937 random(20261207);
    Field text(RDTYPE_TEXT), i(RDTYPE_INT), n(RDTYPE_NUMERIC), d(RDTYPE_DATETIME);
    ASSERT_EQ(0u, RDFieldSetFormatNumber(n, 0, 0, 30, 6));
    for (const char *decimal : {".", ","}) {
        RDIntlFormat intl = *RDPlatGetIntlFormat();
        std::strcpy(intl.decimalSeparator, decimal);
        std::strcpy(intl.thousandSeparator, decimal[0] == '.' ? "," : ".");
        ASSERT_EQ(0u, RDPlatSetIntlFormat(&intl));
        for (int round = 0; round < 300; ++round) {
            const auto v = static_cast<int32_t>(random());
            ASSERT_EQ(0u, RDFieldSetInt(text, 1, &v));
            int32_t back = 0;
            ASSERT_EQ(0u, RDFieldGetInt(text, 1, &back, nullptr));
            ASSERT_EQ(v, back);

            const std::string digits = std::to_string(random() % 1000000000) + "." +
                                       std::to_string(100000 + random() % 900000);
            Stream s(round % 2 == 0 ? "-" + digits : digits, RDCHARSET_INTERCHANGE);
            RDNumeric original, again;
            ASSERT_EQ(0u, RDNumericCreate(&original, 30, 6));
            ASSERT_EQ(0u, RDNumericFromStream(&original, &s));
            ASSERT_EQ(0u, RDFieldSetNumeric(n, 1, &original));
            ASSERT_EQ(0u, RDFieldConvert(text, 1, n, 1, 1));
            ASSERT_EQ(0u, RDNumericCreate(&again, 30, 6));
            ASSERT_EQ(0u, RDFieldGetNumeric(text, 1, &again, nullptr));
            int32_t order = 9;
            ASSERT_EQ(0u, RDNumericCompare(&original, &again, &order));
            ASSERT_EQ(0, order) << GetText(text, 1);

            const RDDatetimeParts parts{static_cast<int32_t>(1900 + random() % 200),
                                        static_cast<int32_t>(1 + random() % 12),
                                        static_cast<int32_t>(1 + random() % 28),
                                        -1,
                                        static_cast<int32_t>(random() % 24),
                                        static_cast<int32_t>(random() % 60),
                                        static_cast<int32_t>(random() % 60),
                                        0,
                                        0,
                                        intl.timeZone};
            RDDatetime when{}, read{};
            ASSERT_EQ(0u, RDDatetimeSetParts(&when, &parts, 0));
            ASSERT_EQ(0u, RDFieldSetDatetime(d, 1, &when));
            ASSERT_EQ(0u, RDFieldConvert(text, 1, d, 1, 1));
            ASSERT_EQ(0u, RDFieldGetDatetime(text, 1, &read, nullptr)) << GetText(text, 1);
            // Daylight saving is taken from the local rules on reading.
            ASSERT_EQ(0u, RDFieldCompare(d, 1, text, 1, 1, RDCOMPARE_DATEPARTS, &order));
            ASSERT_EQ(0, order) << GetText(text, 1);
        }
    }
}

} // namespace
