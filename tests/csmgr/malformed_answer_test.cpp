// SPDX-License-Identifier: Apache-2.0
// Answers that end before the fields the client reads, and texts without
// their NUL: incomplete answers give 783 with nothing copied or applied, and
// texts are read within their field and the bytes received.
#include "csmgr_test_env.h"

#include "activity/system_context.h"
#include "rdxapi.h"

#include <functional>

namespace csmgrtest {
namespace {

// Each request answered with a bare header of status 0, or with an answer
// one byte short of the last field read (as long as its length field says).
TEST_F(PeerTest, ShortAnswersAreIncomplete) {
    Stream name("n", 256), infoText("unchanged", 256), nextName("unchanged", 256);
    ServerInfoRecord info{{1, 1, 1, 1, 1, 1, 1, 1}, &infoText};
    NextActivityRecord next{9, 9, {9, 9, 9}, &nextName};
    uint32_t done = 5, id = 5, field = 0;
    uint64_t time = 5;
    ASSERT_EQ(0u, RDFieldAlloc(&field, RDTYPE_INT, 1));
    const int32_t original = 17;
    ASSERT_EQ(0u, RDFieldSetInt(field, 1, &original));

    struct Case {
        const char *what;
        std::size_t shortBy1; // an answer one byte short of the fields read
        std::function<uint32_t()> call;
    } const cases[] = {
        {"information", 653, [&] { return CSMgrServerInfo(&info); }},
        {"next activity", 39, [&] { return CSMgrNextActivity(&next); }},
        {"sync", 19, [&] { return CSMgrCheckSync(1, &done); }},
        {"id", 19, [&] { return CSMgrGetID(&id, &name, 4); }},
        {"open", 19, [&] { return CSMgrOpenActivity(&id, &name, 1); }},
        {"time", 23, [&] { return CSMgrTime(&time); }},
        {"field", 532, [&] { return CSMgrGetField(1, &name, field); }},
    };
    for (const Case &c : cases) {
        for (std::size_t size : {std::size_t{16}, c.shortBy1}) {
            peer_.Script(Reply::Answer(0, "", size));
            EXPECT_EQ(783u, c.call()) << c.what << " " << size;
        }
    }
    EXPECT_EQ(std::vector<uint32_t>(8, 1), std::vector<uint32_t>(info.values, info.values + 8));
    EXPECT_EQ("unchanged", infoText.Bytes());
    EXPECT_EQ(9u, next.handle);
    EXPECT_EQ(9u, next.words[2]);
    EXPECT_EQ("unchanged", nextName.Bytes());
    EXPECT_EQ(0u, done);
    EXPECT_EQ(0u, id);
    EXPECT_EQ(0u, time);
    int32_t value = 0;
    EXPECT_EQ(0u, RDFieldGetInt(field, 1, &value, nullptr));
    EXPECT_EQ(17, value);
    EXPECT_STREQ(".", RDPlatGetIntlFormat()->decimalSeparator);
    EXPECT_EQ(0u, RDFieldFree(field));
}

TEST_F(PeerTest, ShortInformationAtAttachDetachesAndAppliesNothing) {
    peer_.Script(Reply::Answer(0));
    peer_.Script(Reply::Answer(0, "", 60));
    EXPECT_EQ(783u, CSMgrInit(nullptr));
    EXPECT_EQ(4u, WordAt(peer_.LastRequest(), 0));
    EXPECT_EQ(2u, rdx::Context()->translation.translationMode);
    EXPECT_STREQ(".", RDPlatGetIntlFormat()->decimalSeparator);
}

TEST_F(PeerTest, TextsWithoutTheirNulStopAtTheirField) {
    // The information text fills its 512 bytes; the formats follow at once.
    Stream infoText;
    ServerInfoRecord info{};
    info.text = &infoText;
    const RDIntlFormat intl = *RDPlatGetIntlFormat();
    peer_.Script(AnswerWith(654, {{56, std::string(512, 'i')},
                                  {568, std::string(reinterpret_cast<const char *>(&intl), 86)}}));
    ASSERT_EQ(0u, CSMgrServerInfo(&info));
    EXPECT_EQ(std::string(512, 'i'), infoText.Bytes());

    // The next-activity name fills the answer to its last byte.
    Stream nextName;
    NextActivityRecord next{};
    next.name = &nextName;
    peer_.Script(AnswerWith(552, {{40, std::string(512, 'n')}}));
    ASSERT_EQ(0u, CSMgrNextActivity(&next));
    EXPECT_EQ(std::string(512, 'n'), nextName.Bytes());

    // A field value that runs to the end of the answer.
    Stream name("f", 256);
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&field, RDTYPE_TEXT, 1));
    for (std::size_t length : {1u, 3000u}) {
        peer_.Script(AnswerWith(532 + length, {{532, std::string(length, 'v')}}));
        ASSERT_EQ(0u, CSMgrGetField(1, &name, field));
        Stream value;
        EXPECT_EQ(0u, RDFieldGetStream(field, 1, 256, &value, nullptr));
        EXPECT_EQ(std::string(length, 'v'), value.Bytes());
    }
    EXPECT_EQ(0u, RDFieldFree(field));
}

} // namespace
} // namespace csmgrtest
