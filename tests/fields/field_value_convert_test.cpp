// SPDX-License-Identifier: Apache-2.0
// The conversion of single field values between the seven types: a matrix
// of typical, boundary and failing cells, read back as interchange text.
#include "../values/rdx_test_env.h"
#include "fields/field_value.h"
#include "rdx_field.h"

#include <cmath>
#include <variant>

using rdxtest::Le16;

namespace {

// One value of any field type, with its stream storage released at the end.
struct Value {
    uint32_t type;
    union {
        int32_t i;
        double f;
        RDCurrency c;
        RDNumeric n;
        RDDatetime d;
        RDStream s;
    };
    explicit Value(uint32_t t, uint32_t precision = 20, int32_t scale = 4) : type(t), s{} {
        if (t == RDTYPE_NUMERIC) RDNumericCreate(&n, precision, scale);
    }
    ~Value() {
        if (type == RDTYPE_TEXT || type == RDTYPE_BINARY) RDStreamDataFree(&s);
    }
    // The value written as interchange text; streams give their bytes.
    std::string Text() {
        if (type == RDTYPE_TEXT || type == RDTYPE_BINARY)
            return s.data == nullptr ? "" : std::string(reinterpret_cast<char *>(s.data), s.length);
        Value text(RDTYPE_TEXT);
        EXPECT_EQ(0u,
                  rdx::FieldValueConvert(type, &i, RDTYPE_TEXT, RDCHARSET_INTERCHANGE, &text.s));
        return text.Text();
    }
};

// A value of type parsed from interchange text (streams: bytes of charset).
std::unique_ptr<Value> Make(uint32_t type, const std::string &text, uint32_t charset = 0,
                            uint32_t precision = 20, int32_t scale = 4) {
    auto value = std::make_unique<Value>(type, precision, scale);
    if (type == RDTYPE_TEXT || type == RDTYPE_BINARY) {
        EXPECT_EQ(0u, RDStreamDataSet(&value->s, charset != 0 ? charset : RDCHARSET_INTERCHANGE,
                                      text.data(), static_cast<uint32_t>(text.size())));
        return value;
    }
    Value source(RDTYPE_TEXT);
    EXPECT_EQ(0u, RDStreamDataSet(&source.s, RDCHARSET_INTERCHANGE, text.data(),
                                  static_cast<uint32_t>(text.size())));
    EXPECT_EQ(0u, rdx::FieldValueConvert(RDTYPE_TEXT, &source.s, type, 0, &value->i)) << text;
    return value;
}

// A number list of the values, the last 2 * ranges of them paired as ranges.
std::string Doubles(std::initializer_list<double> values, size_t ranges = 0) {
    const std::vector<double> all(values);
    std::vector<std::pair<double, double>> pairs;
    for (size_t k = all.size() - 2 * ranges; k < all.size(); k += 2)
        pairs.emplace_back(all[k], all[k + 1]);
    return rdxtest::ValueList(std::vector<double>(all.begin(), all.end() - 2 * ranges), pairs);
}

class FieldValueConversion : public rdxtest::SystemTest {};

struct Cell {
    uint32_t from;
    std::string source;
    uint32_t sourceCharset;
    uint32_t to;
    uint32_t charset;
    uint32_t status;
    std::string expected;
};

TEST_F(FieldValueConversion, Matrix) {
    const uint32_t I = RDTYPE_INT, F = RDTYPE_FLOAT, C = RDTYPE_CURRENCY, N = RDTYPE_NUMERIC,
                   D = RDTYPE_DATETIME, T = RDTYPE_TEXT, B = RDTYPE_BINARY;
    const uint32_t NL = RDKIND_NUMBERLIST, BIN = RDKIND_BINARY, IC = RDCHARSET_INTERCHANGE;
    const std::string list3 = Doubles({2.5, 7, 9}), ranged = Doubles({1, 2}, 1);
    const Cell cells[] = {
        // Into Int: truncation toward zero, saturation beyond 32 bits.
        {F, "-2.7", 0, I, 0, 0, "-2"},
        {F, "2147483647.9", 0, I, 0, 0, "2147483647"},
        {F, "3e10", 0, I, 0, RDSTATUS_NOFIT, "2147483647"},
        {F, "-3e10", 0, I, 0, RDSTATUS_NOFIT, "-2147483648"},
        {C, "-12.9999", 0, I, 0, 0, "-12"},
        {N, "123.45", 0, I, 0, 0, "123"},
        {T, "42", 0, I, 0, 0, "42"},
        {T, "x", 0, I, 0, RDSTATUS_NOINT, "0"},
        {D, "03/05/2024", 0, I, 0, RDSTATUS_BADKINDS, ""},
        {B, list3, NL, I, 0, RDSTATUS_NOFIT, "2"},
        {B, std::string("\x2A\0\0\0", 4), BIN, I, 0, 0, "42"},
        {B, "\x2A", BIN, I, 0, 0, "0"},
        // Into Float, Currency and Numeric.
        {I, "-7", 0, F, 0, 0, "-7"},
        {C, "12.3456", 0, F, 0, 0, "12.3456"},
        {B, ranged, NL, F, 0, RDSTATUS_NOFIT, "1"},
        {B, Doubles({}), NL, F, 0, 0, "0"},
        {I, "-7", 0, C, 0, 0, "-7.0000"},
        {F, "0.00026", 0, C, 0, 0, ".0003"},
        {N, "123.45", 0, C, 0, 0, "123.4500"},
        {T, "1.5", 0, C, 0, 0, "1.5000"},
        {C, "922337203685477.5807", 0, N, 0, 0, "922337203685477.5807"},
        {C, "-.0005", 0, N, 0, 0, "-0.0005"},
        {F, "0.25", 0, N, 0, 0, "0.25"},
        {D, "03/05/2024", 0, N, 0, RDSTATUS_BADKINDS, ""},
        // Into Datetime: only from text and lists.
        {I, "1", 0, D, 0, RDSTATUS_BADKINDS, ""},
        {F, "1", 0, D, 0, RDSTATUS_BADKINDS, ""},
        // Into streams: text of the value, raw bytes, one-value lists.
        {I, "-42", 0, T, IC, 0, "-42"},
        {B, "abc", BIN, T, IC, 0, "abc"},
        {T, "abc", 0, B, IC, RDSTATUS_BADKINDS, ""},
        {I, "42", 0, B, BIN, 0, std::string("\x2A\0\0\0", 4)},
        {I, "42", 0, B, 0, 0, std::string("\x2A\0\0\0", 4)},
        {F, "2.5", 0, B, NL, 0, Doubles({2.5})},
        {N, "2.5", 0, T, NL, 0, Doubles({2.5})},
        {T, "1, 2", 0, B, NL, 0, Doubles({1, 2})},
        {D, "03/05/2024", 0, B, NL, RDSTATUS_BADKINDS, ""},
        {I, "1", 0, B, RDKIND_DATETIMELIST, RDSTATUS_BADKINDS, ""},
        {I, "1", 0, B, RDKIND_RICHTEXT, RDSTATUS_BADKINDS, ""},
        // The same type copies.
        {C, "-1.5", 0, C, 0, 0, "-1.5000"},
        {T, "h\xC3\xA9", 0, T, RDCHARSET_UNICODE, 0, std::string("h\0\xE9\0", 4)},
    };
    for (const Cell &cell : cells) {
        auto source = Make(cell.from, cell.source, cell.sourceCharset);
        Value destination(cell.to);
        const std::string where = std::to_string(cell.from) + " " + cell.source + " -> " +
                                  std::to_string(cell.to) + "/" + std::to_string(cell.charset);
        ASSERT_EQ(cell.status, rdx::FieldValueConvert(cell.from, &source->i, cell.to, cell.charset,
                                                      &destination.i))
            << where;
        if (!cell.expected.empty()) {
            EXPECT_EQ(cell.expected, destination.Text()) << where;
        }
    }
}

TEST_F(FieldValueConversion, RefusesBadArgumentsAndTypes) {
    int32_t i = 1;
    double f = 0;
    EXPECT_EQ(RDSTATUS_NULLARG1, rdx::FieldValueConvert(RDTYPE_INT, nullptr, RDTYPE_FLOAT, 0, &f));
    EXPECT_EQ(RDSTATUS_NULLARG1, rdx::FieldValueConvert(RDTYPE_INT, &i, RDTYPE_FLOAT, 0, nullptr));
    EXPECT_EQ(RDSTATUS_BADTYPE, rdx::FieldValueConvert(RDTYPE_INT, &i, 0, 0, &f));
    EXPECT_EQ(RDSTATUS_BADTYPE, rdx::FieldValueConvert(RDTYPE_INT, &i, 8, 0, &f));
    EXPECT_EQ(RDSTATUS_BADKINDS, rdx::FieldValueConvert(9, &i, RDTYPE_FLOAT, 0, &f));
}

TEST_F(FieldValueConversion, NanIntoIntSaturatesToZero) {
    const double nan = std::nan("");
    int32_t out = 5;
    EXPECT_EQ(RDSTATUS_NOFIT, rdx::FieldValueConvert(RDTYPE_FLOAT, &nan, RDTYPE_INT, 0, &out));
    EXPECT_EQ(0, out);
}

TEST_F(FieldValueConversion, ListsThatLieOrDoNotFitAreRefused) {
    // A header claiming two values over one: not a list, never read past.
    auto lying = Make(RDTYPE_BINARY, Doubles({1, 2}).substr(0, 12), RDKIND_NUMBERLIST);
    double f = 9;
    EXPECT_EQ(RDSTATUS_NOTNUMBERLIST,
              rdx::FieldValueConvert(RDTYPE_BINARY, &lying->s, RDTYPE_FLOAT, 0, &f));
    auto shortList = Make(RDTYPE_BINARY, "\x01", RDKIND_DATETIMELIST);
    RDDatetime d{1, 2};
    ASSERT_EQ(0u, rdx::FieldValueConvert(RDTYPE_BINARY, &shortList->s, RDTYPE_DATETIME, 0, &d));
    RDDatetime cleared;
    RDDatetimeClear(&cleared);
    EXPECT_EQ(0, std::memcmp(&cleared, &d, sizeof d));

    // A one-value list does not fit a maximum length of 8: refused whole.
    Value small(RDTYPE_BINARY);
    ASSERT_EQ(0u, RDStreamCreate(&small.s, 8, RDSTREAM_TRUNCATE, RDKIND_BINARY));
    const double v = 2.5;
    EXPECT_EQ(RDSTATUS_NOFIT,
              rdx::FieldValueConvert(RDTYPE_FLOAT, &v, RDTYPE_BINARY, RDKIND_NUMBERLIST, &small.s));
    EXPECT_EQ(0u, small.s.length);
    // Raw bytes are cut to what the stream holds.
    Value tiny(RDTYPE_BINARY);
    ASSERT_EQ(0u, RDStreamCreate(&tiny.s, 2, RDSTREAM_TRUNCATE, RDKIND_BINARY));
    const int32_t i = 0x04030201;
    ASSERT_EQ(0u, rdx::FieldValueConvert(RDTYPE_INT, &i, RDTYPE_BINARY, RDKIND_BINARY, &tiny.s));
    EXPECT_EQ("\x01\x02", tiny.Text());
}

} // namespace

namespace {

// Currency and numeric convert through their exact digits: no float on the
// way, and the same under any decimal separator.
TEST_F(FieldValueConversion, CurrencyAndNumericConvertExactly) {
    auto convert = [](const std::string &text, uint32_t from, uint32_t to, uint32_t precision,
                      int32_t scale, uint32_t status) {
        auto source = Make(from, text, 0, 40, 9);
        Value destination(to, precision, scale);
        EXPECT_EQ(status, rdx::FieldValueConvert(from, &source->i, to, 0, &destination.i)) << text;
        return destination.Text();
    };
    for (const char *separator : {".", ","}) {
        RDIntlFormat intl = *RDPlatGetIntlFormat();
        std::strcpy(intl.decimalSeparator, separator);
        std::strcpy(intl.thousandSeparator, separator[0] == '.' ? "," : ".");
        intl.decimalSeparatorLength = intl.thousandSeparatorLength = 1;
        ASSERT_EQ(0u, RDPlatSetIntlFormat(&intl));
        const std::string point = separator;
        auto local = [&point](std::string text) {
            if (const size_t at = text.find('.'); at != std::string::npos)
                text.replace(at, 1, point);
            return text;
        };
        const uint32_t C = RDTYPE_CURRENCY, N = RDTYPE_NUMERIC;
        // Numbers are shown with the decimal separator, amounts with '.'.
        EXPECT_EQ(local("922337203685477.5807"),
                  convert(local("922337203685477.5807"), C, N, 19, 4, 0));
        EXPECT_EQ(local("-922337203685477.5807"),
                  convert(local("-922337203685477.5807"), C, N, 30, 8, 0));
        EXPECT_EQ("1", convert(local("1.9999"), C, N, 3, 0, 0));
        EXPECT_EQ("999", convert(local("1000"), C, N, 3, 0, RDSTATUS_NOFIT));
        EXPECT_EQ("12345678901234.1234",
                  convert(local("12345678901234.123456789"), N, C, 30, 9, 0));
        EXPECT_EQ("922337203685477.5807",
                  convert("1" + std::string(20, '0'), N, C, 40, 0, RDSTATUS_NOFIT));
    }
}

} // namespace
