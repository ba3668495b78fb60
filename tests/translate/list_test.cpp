// SPDX-License-Identifier: Apache-2.0
// Number and datetime lists to text and back.
#include "../values/rdx_test_env.h"

#include <vector>

using rdxtest::Converted;
using rdxtest::Le16;
using rdxtest::ValueList;

namespace {

const auto Numbers = ValueList<double>;

RDDatetime Dt(int32_t y, int32_t mo, int32_t d, int32_t h = -1, int32_t mi = -1) {
    const RDDatetimeParts p{y, mo, d, -1, h, mi, h < 0 ? -1 : 0, h < 0 ? -1 : 0, 1, -5};
    RDDatetime v{};
    EXPECT_EQ(0u, RDDatetimeSetParts(&v, &p, 0));
    return v;
}

class ValueLists : public rdxtest::SystemTest {};

TEST_F(ValueLists, NumberListsToText) {
    const std::pair<std::string, std::string> cases[] = {
        {Numbers({1, 2}, {{3, 4}}), "1, 2, 3 - 4"},
        {Numbers({}, {{0.5, 1.5e20}, {-1, 7}}), "0.5 - 1.5e+020, -1 - 7"},
        {Numbers({}, {}), ""},
        {"\x01", ""}}; // shorter than its header: empty
    for (const auto &[list, text] : cases)
        EXPECT_EQ(text, Converted(list, RDKIND_NUMBERLIST, 256)) << text;
    EXPECT_EQ(rdxtest::Wide(u"1, 2, 3 - 4"), Converted(cases[0].first, RDKIND_NUMBERLIST, 160));
    // Counts beyond the data are refused, never read past.
    for (const std::string &bad : {Le16(1) + Le16(0), Le16(0) + Le16(1) + std::string(15, 'x')})
        Converted(bad, RDKIND_NUMBERLIST, 256, 12801);
}

TEST_F(ValueLists, TextToNumberLists) {
    const std::pair<std::string, std::string> cases[] = {
        {"1, 2, 3 - 4", Numbers({1, 2}, {{3, 4}})},
        {" 1;2\n3 ,4 ", Numbers({1, 2, 3, 4}, {})},
        {"-5", Numbers({}, {{0, 5}})}, // a leading '-' is a range from 0
        {"2.5e3 - +7", Numbers({}, {{2500, 7}})},
        {"5e-002, 1E-3 - 2", Numbers({0.05}, {{0.001, 2}})}, // exponents as numbers are written
        {"1 -", Numbers({}, {{1, 0}})},
        {"  \t ", Numbers({}, {})},
        {"1,,abc", Numbers({1, 0, 0}, {})},
        {"1-2-3", Numbers({3}, {{1, 2}})}};
    for (const auto &[text, list] : cases)
        EXPECT_TRUE(list == Converted(text, 256, RDKIND_NUMBERLIST)) << text;
    EXPECT_TRUE(cases[0].second == Converted(rdxtest::Wide(u"1, 2, 3-4"), 160, RDKIND_NUMBERLIST));
    Converted("1, 1e400", 256, RDKIND_NUMBERLIST, 12801);
    Converted(rdxtest::Repeat("1,", 0x10000), 256, RDKIND_NUMBERLIST, 12801); // counts overflow
    std::vector<double> singles;
    std::vector<std::pair<double, double>> ranges;
    for (int i = 0; i < 500; ++i) {
        singles.push_back(i * 0.25);
        ranges.emplace_back(i * 0.0078125, i * 1e10); // small ones have exponents
    }
    const std::string list = Numbers(singles, ranges);
    EXPECT_TRUE(list == Converted(Converted(list, RDKIND_NUMBERLIST, 256), 256, RDKIND_NUMBERLIST));
}

TEST_F(ValueLists, DatetimeListsBothWays) {
    const RDDatetime christmas = Dt(1996, 12, 25), evening = Dt(1996, 12, 25, 22, 30);
    const RDDatetime newYear = Dt(1997, 1, 1, 0, 5), summer = Dt(1997, 7, 4);
    const std::string list = ValueList<RDDatetime>({christmas, evening}, {{newYear, summer}});
    const std::string text =
        "12/25/1996, 12/25/1996 10:30:00 PM, 01/01/1997 12:05:00 AM - 07/04/1997";
    EXPECT_EQ(text, Converted(list, RDKIND_DATETIMELIST, 256));
    EXPECT_TRUE(list == Converted(text, 256, RDKIND_DATETIMELIST));
    EXPECT_TRUE(ValueList<RDDatetime>({christmas}, {{christmas, summer}}) ==
                Converted("12/25/1996\n12/25/1996 -07/04/1997", 256, RDKIND_DATETIMELIST));
    for (const char *bad : {"12/25/1996, 13/45/1996", "12/25/1996 -", "hello", "1996"})
        Converted(bad, 256, RDKIND_DATETIMELIST, 12807);
    const RDDatetime early{0, 5}; // cannot be split
    Converted(ValueList<RDDatetime>({early}), RDKIND_DATETIMELIST, 256, 12807);
}

} // namespace
