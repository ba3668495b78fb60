// SPDX-License-Identifier: Apache-2.0
// Every request's bytes against its golden image.
#include "csmgr_test_env.h"

#include "rdxapi.h"

#include <functional>

namespace csmgrtest {
namespace {

std::string Words(uint32_t first, uint32_t count) {
    std::string bytes;
    for (uint32_t i = 0; i < count; ++i)
        bytes += Word(first + i);
    return bytes;
}

TEST_F(PeerTest, EveryRequestMatchesItsImage) {
    Stream name("acts", 256), text("hello", 256);
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&field, RDTYPE_TEXT, 1));
    Stream value("value", 256);
    ASSERT_EQ(0u, RDFieldSetStream(field, 1, &value));
    uint32_t statistics[19];
    for (uint32_t i = 0; i < 19; ++i)
        statistics[i] = 100 + i;
    uint32_t out = 0;
    uint64_t time = 0;
    NextActivityRecord next{};
    const std::string nul(1, '\0');

    struct Case {
        const char *what;
        std::function<uint32_t()> call;
        std::string image;
    };
    const Case cases[] = {
        {"shutdown", [] { return CSMgrShutdown(); }, Image(0, 16, 0)},
        {"state", [] { return CSMgrServerState(7); }, Image(5, 20, 0, {{16, Word(7)}})},
        {"next", [&] { return CSMgrNextActivity(&next); }, Image(6, 552, 0)},
        {"done", [] { return CSMgrDoneActivity(5, 4148); },
         Image(7, 552, 0, {{16, Word(5)}, {28, Word(4148)}})},
        {"run", [&] { return CSMgrRunActivity(9, &name); },
         Image(8, 4 + 26, 0, {{16, Word(9)}, {24, "acts"}})},
        {"sync", [&] { return CSMgrCheckSync(4, &out); }, Image(9, 25, 0, {{16, Word(4)}})},
        {"id", [&] { return CSMgrGetID(&out, &name, 4); },
         Image(12, 537, 0, {{20, Word(4)}, {24, "acts"}})},
        {"open", [&] { return CSMgrOpenActivity(&out, &name, 1); },
         Image(18, 537, 0, {{20, Word(1)}, {24, "acts"}})},
        {"log", [&] { return CSMgrLog(3, 1234, &text); },
         Image(13, 5 + 106, 1, {{16, Word(1)}, {20, Word(3)}, {100, Word(1234)}, {104, "hello"}})},
        {"data log", [&] { return CSMgrDataLog(3, statistics); },
         Image(13, 105, 1, {{16, Word(2)}, {20, Word(3)}, {24, Words(100, 19)}})},
        {"time", [&] { return CSMgrTime(&time); }, Image(14, 64, 0)},
        {"advance", [] { return __CSMgrAdvanceClock(77); }, Image(15, 64, 0, {{44, Word(77)}})},
        {"put field", [&] { return CSMgrPutField(2, &name, field); },
         Image(17, 5 + 533, 0, {{16, Word(2)}, {20, "acts"}, {532, "value"}})},
        {"get field", [&] { return CSMgrGetField(2, &name, field); },
         Image(16, 533, 0, {{16, Word(2)}, {20, "acts"}})},
        {"file field", [&] { return CSMgrFileField(2, &name, "/data/in.txt"); },
         Image(19, 793, 0, {{16, Word(2)}, {20, "acts"}, {532, "/data/in.txt"}})},
        {"server info", [] { return CSMgrServerInfo(nullptr); }, Image(3, 654, 0, {{16, Word(1)}})},
        {"detach", [] { return CSMgrTerm(); }, Image(4, 16, 0)},
    };
    for (const Case &c : cases) {
        const std::string what = c.what;
        if (what == "server info") peer_.Script(AnswerWith(654, {}));
        if (what == "get field") peer_.Script(AnswerWith(540, {{532, "42"}}));
        EXPECT_EQ(0u, c.call()) << c.what;
        EXPECT_EQ(c.image, peer_.LastRequest()) << c.what;
    }
    EXPECT_EQ(0u, RDFieldFree(field));
}

TEST_F(PeerTest, InitAttachesThenAsksForTheInformation) {
    peer_.Script(Reply::Answer(0));
    peer_.Script(AnswerWith(654, {}));
    EXPECT_EQ(0u, CSMgrInit(nullptr));
    const std::vector<std::string> expected = {Image(2, 16, 0), Image(3, 654, 0)};
    EXPECT_EQ(expected, peer_.Requests());
}

TEST_F(PeerTest, NamesAreSentInTheInterchangeSet) {
    // "né" in windows-1252 travels as UTF-8.
    Stream name("n\xE9", 1252);
    uint32_t id = 0;
    EXPECT_EQ(0u, CSMgrGetID(&id, &name, 4));
    EXPECT_EQ(Image(12, 537, 0, {{20, Word(4)}, {24, "n\xC3\xA9"}}), peer_.LastRequest());
}

TEST_F(PeerTest, NameThatConvertsToNothingIsSentEmpty) {
    Stream empty("", 256);
    uint32_t id = 0;
    EXPECT_EQ(0u, CSMgrGetID(&id, &empty, 4));
    EXPECT_EQ(Image(12, 537, 0, {{20, Word(4)}}), peer_.LastRequest());
}

} // namespace
} // namespace csmgrtest
