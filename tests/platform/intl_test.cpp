// SPDX-License-Identifier: Apache-2.0
#include "platform_test.h"

#include <cstddef>
#include <tuple>

namespace {

// The seven texts with their length fields, in record order, and defaults.
struct Text {
    size_t text, length;
    const char *byDefault;
};
#define RD_TEXT(name, def)                                                                         \
    { offsetof(RDIntlFormat, name), offsetof(RDIntlFormat, name##Length), def }
const Text kTexts[] = {RD_TEXT(amText, "AM"),          RD_TEXT(pmText, "PM"),
                       RD_TEXT(currencySymbol, "$"),   RD_TEXT(thousandSeparator, ","),
                       RD_TEXT(decimalSeparator, "."), RD_TEXT(dateSeparator, "/"),
                       RD_TEXT(timeSeparator, ":")};
#undef RD_TEXT

char *TextOf(RDIntlFormat *f, const Text &t) {
    return reinterpret_cast<char *>(f) + t.text;
}
uint32_t LengthOf(const RDIntlFormat *f, const Text &t) {
    uint32_t length;
    std::memcpy(&length, reinterpret_cast<const char *>(f) + t.length, sizeof length);
    return length;
}

class IntlFormat : public ::testing::Test {
  protected:
    void SetUp() override { RDPlatTerm(); }
    void TearDown() override {
        RDTestMemFailNth(0);
        RDPlatTerm();
    }
};

TEST(IntlFormatLayout, MembersSitAtTheirWireOffsets) {
    const size_t numbers[] = {offsetof(RDIntlFormat, intlFlags), offsetof(RDIntlFormat, dateOrder),
                              offsetof(RDIntlFormat, currencyDigits),
                              offsetof(RDIntlFormat, timeZone)};
    EXPECT_EQ(std::vector<size_t>(std::begin(numbers), std::end(numbers)),
              (std::vector<size_t>{0, 4, 8, 12}));
    for (size_t i = 0; i < std::size(kTexts); ++i) {
        EXPECT_EQ(kTexts[i].text, 16 + 10 * i) << i;
        EXPECT_EQ(kTexts[i].length, 22 + 10 * i) << i;
    }
}

TEST_F(IntlFormat, DefaultsAreLoadedInPlace) {
    ASSERT_EQ(RDPlatSetIntlFormat(nullptr), 0u);
    RDIntlFormat *f = RDPlatGetIntlFormat();
    ASSERT_NE(f, nullptr);
    RDIntlFormat source = *f;
    source.timeZone = 100;
    ASSERT_EQ(RDPlatSetIntlFormat(&source), 0u);
    ASSERT_EQ(RDPlatSetIntlFormat(f), 0u) << "the record itself as source";
    EXPECT_EQ(f->timeZone, 100);
    ASSERT_EQ(RDPlatSetIntlFormat(nullptr), 0u);
    EXPECT_EQ(RDPlatGetIntlFormat(), f) << "later calls keep the address";
    EXPECT_EQ(std::tie(f->intlFlags, f->dateOrder, f->currencyDigits, f->timeZone),
              std::make_tuple(16u, 1u, 2u, -5));
    for (const Text &t : kTexts) {
        EXPECT_STREQ(TextOf(f, t), t.byDefault);
        EXPECT_EQ(LengthOf(f, t), std::strlen(t.byDefault)) << t.byDefault;
    }
}

TEST_F(IntlFormat, SourceIsCopiedWithLengthsRecomputedAndTextsTerminated) {
    const char *texts[] = {"", "p", "Kr", "'..", "dec4", "five5", "sixsix"};
    RDIntlFormat source{0x0F, 3, 4, -530, {}, 0, {}, 0, {}, 0, {}, 0, {}, 0, {}, 0, {}, 0};
    for (size_t i = 0; i < std::size(kTexts); ++i) {
        std::memcpy(TextOf(&source, kTexts[i]), texts[i], std::strlen(texts[i]));
        std::memset(reinterpret_cast<char *>(&source) + kTexts[i].length, 0x63, 4);
    }
    ASSERT_EQ(RDPlatSetIntlFormat(&source), 0u);
    RDIntlFormat *f = RDPlatGetIntlFormat();
    EXPECT_EQ(std::memcmp(f, &source, 16), 0); // the four numbers
    for (size_t i = 0; i < std::size(kTexts); ++i) {
        std::string expected = std::string(texts[i]).substr(0, 5); // no NUL in 6 bytes: cut
        EXPECT_EQ(TextOf(f, kTexts[i]), expected);
        EXPECT_EQ(LengthOf(f, kTexts[i]), expected.size()) << expected;
    }
}

TEST_F(IntlFormat, TimeZoneIs533WithZeroOutputsWithoutRecord) {
    for (int round = 0; round < 2; ++round) { // before any record, then after RDPlatTerm
        EXPECT_EQ(RDPlatGetIntlFormat(), nullptr) << round;
        int32_t zone = 77, dst = 77;
        EXPECT_EQ(RDPlatGetTimeZone(&zone, &dst), RDSTATUS_NOTIMEZONE) << round;
        EXPECT_EQ(zone | dst, 0);
        EXPECT_EQ(RDPlatGetTimeZone(nullptr, nullptr), RDSTATUS_NOTIMEZONE);
        ASSERT_EQ(RDPlatSetIntlFormat(nullptr), 0u);
        RDIntlFormat source = *RDPlatGetIntlFormat();
        source.intlFlags = round == 0 ? ~RDINTL_DST : 0xFFFFFFFFu;
        source.timeZone = -330;
        ASSERT_EQ(RDPlatSetIntlFormat(&source), 0u);
        EXPECT_EQ(RDPlatGetTimeZone(&zone, nullptr), 0u);
        EXPECT_EQ(RDPlatGetTimeZone(nullptr, &dst), 0u);
        EXPECT_EQ(zone, -330);
        EXPECT_EQ(dst, round == 0 ? 0 : 1) << "bit 4 of the flags alone";
        EXPECT_EQ(RDPlatTerm(), 0u);
    }
}

TEST_F(IntlFormat, AllocationFailureLeavesNoRecord) {
    RDTestMemFailNth(1);
    EXPECT_EQ(RDPlatSetIntlFormat(nullptr), RDSTATUS_NOMEMORY);
    EXPECT_EQ(RDTestMemFailPending(), 0);
    EXPECT_EQ(RDPlatGetIntlFormat(), nullptr);
    ASSERT_EQ(RDPlatSetIntlFormat(nullptr), 0u);
    RDTestMemFailNth(1);
    EXPECT_EQ(RDPlatSetIntlFormat(nullptr), 0u) << "an existing record is reused";
    EXPECT_EQ(RDTestMemFailPending(), 1);
}

class CharInfo : public ::testing::Test {
  protected:
    void SetLocale(const char *all, const char *ctype, const char *lang) {
        all_.Set(all), ctype_.Set(ctype), lang_.Set(lang);
    }
    rdtest::ScopedEnv all_{"LC_ALL", nullptr}, ctype_{"LC_CTYPE", nullptr}, lang_{"LANG", nullptr};
};

TEST_F(CharInfo, LocaleNamesGiveCodePageCountryAndLanguage) {
    const struct {
        std::string locale;
        uint32_t codePage;
        int32_t country;
        const char *language;
    } cases[] = {
        {"en_US.UTF-8", 65001, 1, "en"},
        {"en_US.utf8@euro", 65001, 1, "en"},
        {"en_GB.ISO-8859-1", 28591, 44, "en"},
        {"fr_FR.ISO8859-15@euro", 28605, 33, "fr"},
        {"de_DE", 28591, 49, "de"},
        {"de_DE@euro", 28605, 49, "de"},
        {"pt_BR.CP1252", 1252, 55, "pt"},
        {"fil_PH.UTF-8", 65001, 63, "fil"},
        {"C", 20127, 0, ""},
        {"POSIX", 20127, 0, ""},
        {"C.UTF-8", 65001, 0, ""},
        {"EN_us", 28591, 1, "en"},
        {"xx_QQ.UTF-8", 65001, 0, "xx"},
        {"en_USA.weird", 20127, 0, "en"},
        {"english", 28591, 0, ""},
        {"e1_US", 28591, 1, ""},
        {"/tmp/x_DE.UTF-8", 65001, 49, ""},
        {"@", 20127, 0, ""},
        {std::string(10000, 'a'), 28591, 0, ""},
        {"bbb_" + std::string(9000, 'U'), 28591, 0, "bbb"},
        {"en_US." + std::string(9000, '8') + "@" + std::string(9000, 'e'), 20127, 1, "en"}};
    for (const auto &c : cases) {
        SetLocale(nullptr, nullptr, c.locale.c_str());
        uint32_t codePage = 0;
        int32_t country = -1;
        char language[16];
        std::memset(language, 0x5A, sizeof language);
        RDCharInfo(&codePage, &country, language);
        std::string why = c.locale.substr(0, 24);
        EXPECT_EQ(codePage, c.codePage) << why;
        EXPECT_EQ(country, c.country) << why;
        EXPECT_STREQ(language, c.language) << why;
        EXPECT_EQ(std::string(language + 8, 8), std::string(8, 0x5A)) << "beyond 8 bytes: " << why;
    }
}

TEST_F(CharInfo, FirstNonEmptyOfLcAllLcCtypeLangWins) {
    const struct {
        const char *all, *ctype, *lang;
        int32_t country;
    } cases[] = {{"de_DE", "fr_FR", "en_GB", 49},
                 {"", "fr_FR", "en_GB", 33},
                 {nullptr, "", "en_GB", 44},
                 {"", "", "", 0}};
    for (const auto &c : cases) {
        SetLocale(c.all, c.ctype, c.lang);
        int32_t country = -1;
        RDCharInfo(nullptr, &country, nullptr);
        EXPECT_EQ(country, c.country) << c.lang;
    }
    SetLocale(nullptr, nullptr, nullptr);
    uint32_t codePage = 0;
    RDCharInfo(&codePage, nullptr, nullptr);
    EXPECT_EQ(codePage, 20127u) << "no locale at all is the ASCII locale";
}

TEST(VersionCompare, LeadingNumbersReadAsTwoCharacterDecimal) {
    const struct {
        const char *a, *b;
        int difference;
    } cases[] = {
        {"10.5", "9.1", 1}, {"3.1", "3.9", 0},     {"2", "2.0", 0},    {"1", "", 1},
        {"123", "11", 1},   {"v2", "0", 0},        {"x", "5", -5},     {"\t\n 42", "40", 2},
        {"-3", "0", -3},    {"-12", "0", -1},      {"+12", "0", 1},    {"+", "-", 0},
        {"99", "-9", 108},  {"08", "7", 1},        {"3 4", "34", -31}, {nullptr, "4", -4},
        {"4", nullptr, 4},  {nullptr, nullptr, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RDCmpVerStr(c.a, c.b), c.difference)
            << (c.a ? c.a : "(null)") << " vs " << (c.b ? c.b : "(null)");
}

} // namespace
