// SPDX-License-Identifier: Apache-2.0
// What the client does with the server manager's answers.
#include "csmgr_test_env.h"

#include "activity/system_context.h"
#include "rdxapi.h"

#include <cstring>

namespace csmgrtest {
namespace {

// An information answer: values 1..8 as 11..18, the mode, the text and the
// international formats.
Reply Information(uint32_t mode, const std::string &text, const RDIntlFormat &intl) {
    std::string values1, values2;
    for (uint32_t i = 0; i < 6; ++i)
        values1 += Word(11 + i);
    values2 = Word(17) + Word(18);
    std::string image(reinterpret_cast<const char *>(&intl), sizeof intl);
    return AnswerWith(654,
                      {{20, values1}, {44, Word(mode)}, {48, values2}, {56, text}, {568, image}});
}

RDIntlFormat CommaFormat() {
    RDIntlFormat intl = *RDPlatGetIntlFormat();
    std::memcpy(intl.decimalSeparator, ",\0", 2);
    intl.decimalSeparatorLength = 1;
    std::memcpy(intl.thousandSeparator, ".\0", 2);
    intl.thousandSeparatorLength = 1;
    return intl;
}

TEST_F(PeerTest, InitAppliesTheServerManagersSettings) {
    Stream text;
    ServerInfoRecord info{};
    info.text = &text;
    peer_.Script(Reply::Answer(0));
    peer_.Script(Information(1, "server one", CommaFormat()));
    ASSERT_EQ(0u, CSMgrInit(&info));
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(11 + i, info.values[i]);
    EXPECT_EQ("server one", Text(text.s));
    EXPECT_EQ(256u, text.s.charset);
    EXPECT_EQ(1u, rdx::Context()->translation.translationMode);
    EXPECT_STREQ(",", RDPlatGetIntlFormat()->decimalSeparator);
    EXPECT_STREQ(".", RDPlatGetIntlFormat()->thousandSeparator);
}

TEST_F(PeerTest, ServerInfoAppliesTheSettingsAndIgnoresAnUnknownMode) {
    peer_.Script(Information(7, "", CommaFormat()));
    ServerInfoRecord info{};
    ASSERT_EQ(0u, CSMgrServerInfo(&info));
    EXPECT_EQ(18u, info.values[7]);
    EXPECT_EQ(2u, rdx::Context()->translation.translationMode);
    EXPECT_STREQ(",", RDPlatGetIntlFormat()->decimalSeparator);
}

TEST_F(PeerTest, FailedAttachDetachesAgain) {
    for (bool failAttach : {true, false}) {
        const std::size_t before = peer_.Count();
        if (failAttach) {
            peer_.Script(Reply::Answer(901));
        } else {
            peer_.Script(Reply::Answer(0));
            peer_.Script(Reply::Answer(902));
        }
        EXPECT_EQ(failAttach ? 901u : 902u, CSMgrInit(nullptr));
        std::vector<std::string> requests = peer_.Requests();
        requests.erase(requests.begin(), requests.begin() + static_cast<long>(before));
        std::vector<uint32_t> codes;
        for (const std::string &r : requests)
            codes.push_back(WordAt(r, 0));
        const std::vector<uint32_t> expected =
            failAttach ? std::vector<uint32_t>{2, 4} : std::vector<uint32_t>{2, 3, 4};
        EXPECT_EQ(expected, codes);
    }
    EXPECT_STREQ(".", RDPlatGetIntlFormat()->decimalSeparator);
}

TEST_F(PeerTest, NextActivityCopiesTheWordsAndTheName) {
    Stream name;
    NextActivityRecord record{};
    record.name = &name;
    peer_.Script(AnswerWith(552, {{16, Word(1) + Word(2) + Word(3) + Word(99) + Word(4) + Word(5)},
                                  {40, "nightly load"}}));
    ASSERT_EQ(0u, CSMgrNextActivity(&record));
    EXPECT_EQ(1u, record.handle);
    EXPECT_EQ(2u, record.command);
    EXPECT_EQ(3u, record.words[0]);
    EXPECT_EQ(4u, record.words[1]);
    EXPECT_EQ(5u, record.words[2]);
    EXPECT_EQ("nightly load", Text(name.s));
}

TEST_F(PeerTest, CheckSyncReportsDoneOnlyForStatusAndWordZero) {
    struct Case {
        uint32_t status, word, result, done;
    } const cases[] = {{0, 0, 0, 1}, {0, 1, 0, 0}, {900, 0, 900, 0}};
    for (const Case &c : cases) {
        peer_.Script(AnswerWith(25, {{16, Word(c.word)}}, c.status));
        uint32_t done = 7;
        EXPECT_EQ(c.result, CSMgrCheckSync(1, &done));
        EXPECT_EQ(c.done, done) << c.status << " " << c.word;
    }
}

TEST_F(PeerTest, IdentifierAndTimeArriveWhateverTheStatus) {
    Stream name("x", 256);
    uint32_t id = 0;
    peer_.Script(AnswerWith(537, {{16, Word(0xABCD)}}, 905));
    EXPECT_EQ(905u, CSMgrGetID(&id, &name, 4));
    EXPECT_EQ(0xABCDu, id);
    uint64_t time = 0;
    peer_.Script(AnswerWith(64, {{16, Word(0x11223344) + Word(0x55667788)}}, 906));
    EXPECT_EQ(906u, CSMgrTime(&time));
    EXPECT_EQ(0x5566778811223344u, time);
}

TEST_F(PeerTest, GetFieldStoresTheValueOrPassesNotFound) {
    Stream name("total", 256);
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&field, RDTYPE_INT, 1));
    peer_.Script(AnswerWith(540, {{532, "42"}}));
    ASSERT_EQ(0u, CSMgrGetField(1, &name, field));
    int32_t value = 0;
    EXPECT_EQ(0u, RDFieldGetInt(field, 1, &value, nullptr));
    EXPECT_EQ(42, value);
    peer_.Script(Reply::Answer(798));
    EXPECT_EQ(798u, CSMgrGetField(1, &name, field));
    EXPECT_EQ(0u, RDFieldGetInt(field, 1, &value, nullptr));
    EXPECT_EQ(42, value);
    EXPECT_EQ(0u, RDFieldFree(field));
}

} // namespace
} // namespace csmgrtest
