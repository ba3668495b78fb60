// SPDX-License-Identifier: Apache-2.0
// Value lists: text, number and datetime list accessors over stream images,
// including images whose headers claim more than the stream holds.
#include "../values/rdx_test_env.h"

#include <vector>

using rdxtest::Le16;
using rdxtest::List;
using rdxtest::Stream;
using rdxtest::Wide;

namespace {

class ValueListAccess : public rdxtest::SystemTest {};

template <typename T>
std::string Items(const std::vector<T> &singles, const std::vector<std::pair<T, T>> &ranges = {}) {
    return rdxtest::ValueList(singles, ranges);
}

TEST_F(ValueListAccess, TextListCountsAndLengths) {
    Stream list(List({"ab", "", "hello"}), RDKIND_TEXTLIST);
    EXPECT_EQ(3u, RDTextListGetCount(&list));
    const uint32_t lengths[] = {15, 2, 0, 5, 0};
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(lengths[i], RDTextListGetLength(&list, i)) << i;

    std::vector<std::string> many(200, "x");
    std::string image = Le16(200);
    for (size_t i = 0; i < many.size(); ++i)
        image += Le16(1);
    Stream big(image + std::string(200, 'x'), RDKIND_TEXTLIST);
    EXPECT_EQ(200u, RDTextListGetCount(&big));

    // A plain text stream is a list of one entry; its length at index 1
    // is that of a one-entry list image.
    Stream text("seven!!", RDCHARSET_INTERCHANGE), empty("", RDCHARSET_INTERCHANGE);
    EXPECT_EQ(1u, RDTextListGetCount(&text));
    EXPECT_EQ(7u, RDTextListGetLength(&text, 0));
    EXPECT_EQ(11u, RDTextListGetLength(&text, 1));
    EXPECT_EQ(0u, RDTextListGetLength(&text, 2));
    EXPECT_EQ(0u, RDTextListGetCount(&empty));

    Stream binary("abcdef", RDKIND_BINARY);
    EXPECT_EQ(0u, RDTextListGetCount(&binary));
    EXPECT_EQ(0u, RDTextListGetLength(&binary, 0));
    EXPECT_EQ(0u, RDTextListGetCount(nullptr));
    EXPECT_EQ(0u, RDTextListGetLength(nullptr, 0));
}

TEST_F(ValueListAccess, TextListFetchInEverySet) {
    Stream list(List({"ab", "", "h\xC3\xA9llo"}), RDKIND_TEXTLIST), out;
    uint8_t *data = nullptr;
    uint32_t length = 99;
    ASSERT_EQ(0u, RDTextListFetch(&list, 3, RDCHARSET_INTERCHANGE, &out, &data, &length));
    EXPECT_EQ("h\xC3\xA9llo", out.Bytes());
    EXPECT_EQ(out.s.data, data);
    EXPECT_EQ(6u, length);
    EXPECT_EQ(RDCHARSET_INTERCHANGE, out.s.charset);

    ASSERT_EQ(0u, RDTextListFetch(&list, 3, RDCHARSET_UNICODE, &out, &data, &length));
    EXPECT_EQ(Wide(u"h\u00E9llo"), out.Bytes());
    EXPECT_EQ(out.s.data, data);
    EXPECT_EQ(10u, length);

    ASSERT_EQ(0u, RDTextListFetch(&list, 2, RDCHARSET_UNICODE, &out, nullptr, nullptr));
    EXPECT_EQ("", out.Bytes());

    Stream text("plain", RDCHARSET_INTERCHANGE);
    ASSERT_EQ(0u, RDTextListFetch(&text, 1, RDCHARSET_UNICODE, &out, &data, &length));
    EXPECT_EQ(Wide(u"plain"), out.Bytes());
    EXPECT_EQ(10u, length);
    EXPECT_EQ(RDSTATUS_BEYONDEND,
              RDTextListFetch(&text, 2, RDCHARSET_UNICODE, &out, &data, &length));

    // The list itself as the destination: the entry is taken before the
    // list's storage is reused.
    ASSERT_EQ(0u, RDTextListFetch(&list, 3, RDCHARSET_INTERCHANGE, &list, nullptr, &length));
    EXPECT_EQ("h\xC3\xA9llo", list.Bytes());
    Stream again(List({"ab", "cd"}), RDKIND_TEXTLIST);
    ASSERT_EQ(0u, RDTextListFetch(&again, 2, RDCHARSET_UNICODE, &again, nullptr, nullptr));
    EXPECT_EQ(Wide(u"cd"), again.Bytes());
}

TEST_F(ValueListAccess, TextListFetchChecksInOrderAndClearsOutputs) {
    Stream list(List({"ab"}), RDKIND_TEXTLIST), binary("ab", RDKIND_BINARY), out;
    struct Case {
        const RDStream *list;
        uint32_t index;
        RDStream *out;
        uint32_t status;
    } cases[] = {
        {nullptr, 0, nullptr, RDSTATUS_NOTTEXTLIST}, {&list.s, 0, nullptr, RDSTATUS_NOSTREAM},
        {&list.s, 0, &out.s, RDSTATUS_INDEXZERO},    {&binary.s, 1, &out.s, RDSTATUS_NOTTEXTLIST},
        {&list.s, 2, &out.s, RDSTATUS_BEYONDEND},
    };
    for (const Case &c : cases) {
        uint8_t *data = reinterpret_cast<uint8_t *>(&out);
        uint32_t length = 7;
        EXPECT_EQ(c.status,
                  RDTextListFetch(c.list, c.index, RDCHARSET_INTERCHANGE, c.out, &data, &length));
        EXPECT_EQ(nullptr, data);
        EXPECT_EQ(0u, length);
    }
    RDSystemTerm();
    EXPECT_EQ(RDSTATUS_NOTREADY,
              RDTextListFetch(&list, 1, RDCHARSET_UNICODE, &out, nullptr, nullptr));
    ASSERT_EQ(0u, RDSystemInit());
}

TEST_F(ValueListAccess, LyingTextListImagesAreNotLists) {
    const std::string images[] = {
        std::string("\x01", 1),                  // shorter than its count
        Le16(3) + Le16(1) + Le16(1),             // fewer length words than entries
        Le16(2) + Le16(1) + Le16(4) + "abcd",    // texts one byte short
        Le16(1) + Le16(0xFFFF) + "short",        // an entry far past the end
        Le16(0xFFFF) + std::string(100, '\xFF'), // a count far past the end
    };
    for (const std::string &image : images) {
        Stream list(image, RDKIND_TEXTLIST), out;
        EXPECT_EQ(0u, RDTextListGetCount(&list));
        EXPECT_EQ(0u, RDTextListGetLength(&list, 0));
        EXPECT_EQ(0u, RDTextListGetLength(&list, 1));
        EXPECT_EQ(RDSTATUS_NOTTEXTLIST,
                  RDTextListFetch(&list, 1, RDCHARSET_INTERCHANGE, &out, nullptr, nullptr));
    }
    // Bytes after a whole image are not part of it and do no harm.
    Stream padded(List({"ab"}) + "tail", RDKIND_TEXTLIST);
    EXPECT_EQ(1u, RDTextListGetCount(&padded));
    EXPECT_EQ(6u, RDTextListGetLength(&padded, 0));
}

TEST_F(ValueListAccess, NumberListValuesAndRanges) {
    Stream ranged(Items<double>({}, {{0.5, 1.5}, {-2, 7.25}}), RDKIND_NUMBERLIST);
    uint32_t n = 9, r = 9;
    RDNumberListGetCount(&ranged, &n, &r);
    EXPECT_EQ(0u, n);
    EXPECT_EQ(2u, r);
    RDNumberListGetCount(&ranged, nullptr, nullptr);
    EXPECT_EQ(36u, RDNumberListGetLength(&ranged));
    double v = 0, low = 0, high = 0;
    ASSERT_EQ(0u, RDNumberListGetFirst(&ranged, &v));
    EXPECT_EQ(0.5, v);
    EXPECT_EQ(RDSTATUS_BEYONDEND, RDNumberListGetValue(&ranged, 1, &v));
    ASSERT_EQ(0u, RDNumberListGetRange(&ranged, 2, &low, &high));
    EXPECT_EQ(-2.0, low);
    EXPECT_EQ(7.25, high);
    EXPECT_EQ(RDSTATUS_BEYONDEND, RDNumberListGetRange(&ranged, 3, &low, &high));

    Stream mixed(Items<double>({3, 4}, {{5, 6}}), RDKIND_NUMBERLIST);
    ASSERT_EQ(0u, RDNumberListGetFirst(&mixed, &v));
    EXPECT_EQ(3.0, v);
    ASSERT_EQ(0u, RDNumberListGetValue(&mixed, 2, &v));
    EXPECT_EQ(4.0, v);
    EXPECT_EQ(RDSTATUS_BEYONDEND, RDNumberListGetValue(&mixed, 3, &v));

    Stream none(Items<double>({}), RDKIND_NUMBERLIST);
    EXPECT_EQ(RDSTATUS_BEYONDEND, RDNumberListGetFirst(&none, &v));
    EXPECT_EQ(4u, RDNumberListGetLength(&none));

    // The largest image: 65,535 values, the last one read back.
    std::vector<double> values(0xFFFF);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<double>(i) / 4;
    Stream full(Items(values), RDKIND_NUMBERLIST);
    EXPECT_EQ(4u + 8u * 0xFFFF, RDNumberListGetLength(&full));
    ASSERT_EQ(0u, RDNumberListGetValue(&full, 0xFFFF, &v));
    EXPECT_EQ(values.back(), v);
}

TEST_F(ValueListAccess, NumberListStatusesInOrder) {
    Stream list(Items<double>({1}, {{2, 3}}), RDKIND_NUMBERLIST), binary("abcdefgh", RDKIND_BINARY);
    Stream shortList("abc", RDKIND_NUMBERLIST);
    Stream lying(Items<double>({1}, {{2, 3}}).substr(0, 27), RDKIND_NUMBERLIST);
    double v = 0, low = 0;
    struct Case {
        uint32_t status, expected;
    } cases[] = {
        {RDNumberListGetFirst(nullptr, nullptr), RDSTATUS_NOTNUMBERLIST},
        {RDNumberListGetFirst(&list, nullptr), RDSTATUS_NOFLOAT},
        {RDNumberListGetFirst(&binary, &v), RDSTATUS_NOTNUMBERLIST},
        {RDNumberListGetFirst(&shortList, &v), RDSTATUS_NOTNUMBERLIST},
        {RDNumberListGetValue(nullptr, 0, nullptr), RDSTATUS_NOTNUMBERLIST},
        {RDNumberListGetValue(&list, 0, nullptr), RDSTATUS_NOFLOAT},
        {RDNumberListGetValue(&binary, 0, &v), RDSTATUS_INDEXZERO},
        {RDNumberListGetValue(&binary, 1, &v), RDSTATUS_NOTNUMBERLIST},
        {RDNumberListGetValue(&lying, 1, &v), RDSTATUS_NOTNUMBERLIST},
        {RDNumberListGetRange(nullptr, 0, nullptr, nullptr), RDSTATUS_NOTNUMBERLIST},
        {RDNumberListGetRange(&list, 0, &low, nullptr), RDSTATUS_NOFLOAT},
        {RDNumberListGetRange(&list, 0, &low, &v), RDSTATUS_INDEXZERO},
        {RDNumberListGetRange(&lying, 1, &low, &v), RDSTATUS_NOTNUMBERLIST},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].expected, cases[i].status) << "case " << i;

    for (RDStream *s : {&binary, &shortList, &lying}) {
        uint32_t n = 9, r = 9;
        RDNumberListGetCount(s, &n, &r);
        EXPECT_EQ(0u, n + r);
        EXPECT_EQ(0u, RDNumberListGetLength(s));
    }
    EXPECT_EQ(0u, RDTextListGetCount(&list));
}

TEST_F(ValueListAccess, DatetimeListsFollowTheNumberRules) {
    RDDatetime a{}, b{}, c{};
    ASSERT_EQ(0u, RDDatetimeSetJulian(&a, 2451545));
    ASSERT_EQ(0u, RDDatetimeSetJulian(&b, 2451546));
    ASSERT_EQ(0u, RDDatetimeSetJulian(&c, 2451547));
    Stream list(Items<RDDatetime>({a}, {{b, c}}), RDKIND_DATETIMELIST);
    Stream numbers(Items<double>({1}), RDKIND_NUMBERLIST);
    uint32_t n = 0, r = 0;
    RDDatetimeListGetCount(&list, &n, &r);
    EXPECT_EQ(1u, n);
    EXPECT_EQ(1u, r);
    EXPECT_EQ(28u, RDDatetimeListGetLength(&list));
    RDDatetime got{}, high{};
    ASSERT_EQ(0u, RDDatetimeListGetFirst(&list, &got));
    EXPECT_EQ(0, std::memcmp(&a, &got, sizeof got));
    ASSERT_EQ(0u, RDDatetimeListGetRange(&list, 1, &got, &high));
    EXPECT_EQ(0, std::memcmp(&b, &got, sizeof got));
    EXPECT_EQ(0, std::memcmp(&c, &high, sizeof high));
    EXPECT_EQ(RDSTATUS_BEYONDEND, RDDatetimeListGetValue(&list, 2, &got));
    EXPECT_EQ(RDSTATUS_NOTDATETIMELIST, RDDatetimeListGetFirst(&numbers, &got));
    EXPECT_EQ(RDSTATUS_NOTDATETIMELIST, RDDatetimeListGetValue(nullptr, 1, nullptr));
    EXPECT_EQ(RDSTATUS_NODATETIME, RDDatetimeListGetRange(&list, 1, &got, nullptr));
    EXPECT_EQ(RDSTATUS_INDEXZERO, RDDatetimeListGetValue(&list, 0, &got));
    EXPECT_EQ(0u, RDNumberListGetLength(&list));
}

} // namespace
