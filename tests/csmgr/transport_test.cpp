// SPDX-License-Identifier: Apache-2.0
// The transport: completeness of answers, growth of growable answers, and the
// failures of the pipe.
#include "csmgr_test_env.h"

#include "rdplat_mem.h"
#include "rdxapi.h"

namespace csmgrtest {
namespace {

using rdx::csmgr::Answer;
using rdx::csmgr::ExchangeGrowable;

TEST_F(PeerTest, IncompleteOrOverlongAnswersFail) {
    struct Case {
        const char *what;
        Reply reply;
        uint32_t status;
    } const cases[] = {
        {"whole", Reply::Answer(0, "", 20), 0},
        {"length says more", Reply::Lying(0, 16, 20), 783},
        {"length says less", Reply::Lying(0, 20, 16), 783},
        {"shorter than the header", Reply::Raw(Word(0) + Word(8)), 783},
        {"longer than the request", Reply::Answer(0, "", 40), 783},
        {"closed without answer", Reply::Close(), 783},
        {"failure status", Reply::Answer(950, "", 20), 950},
    };
    for (const Case &c : cases) {
        peer_.Script(c.reply);
        EXPECT_EQ(c.status, CSMgrServerState(1)) << c.what;
    }
}

TEST_F(CSMgrTest, MissingPipeGives782) {
    EXPECT_EQ(782u, CSMgrServerState(1));
    Stream text("x", 256);
    EXPECT_EQ(782u, CSMgrLog(1, 1, &text));
}

// A growable request of 2048 bytes whose answer is 5000 bytes long is read
// in three pieces into a block grown to 6144 bytes.
TEST_F(PeerTest, GrowableAnswerGrowsInWholePieces) {
    std::string answer = Reply::Answer(0, std::string(5000 - 16, 'a'), 5000).bytes.value();
    answer.back() = 'z';
    peer_.Script(Reply::Raw(answer));
    uint32_t capacity = 2048;
    auto *block = static_cast<uint8_t *>(RDMemCalloc(2048));
    ASSERT_NE(nullptr, block);
    rdx::csmgr::PutHeader(rdx::csmgr::Bytes(block, capacity), 10, 2048);
    Answer got = ExchangeGrowable(block, capacity);
    EXPECT_TRUE(got.complete);
    EXPECT_EQ(5000u, got.received);
    EXPECT_EQ(6144u, capacity);
    EXPECT_EQ(answer, std::string(reinterpret_cast<char *>(block), 5000));
    RDMemFree(block);
}

TEST_F(PeerTest, GrowableAnswerThatCannotGrowLeaksNothing) {
    Stream name("memo", 256);
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&field, RDTYPE_TEXT, 1));
    const std::string text(3000, 'q');
    const rdtest::Reply answer = AnswerWith(532 + text.size() + 1, {{532, text}});
    int failures = rdxtest::ForEachAllocationFailure(
        [&] {
            peer_.Script(answer);
            return CSMgrGetField(1, &name, field);
        },
        [](uint32_t status) {
            EXPECT_TRUE(status == 258 || status == 782 || status == 783) << status;
        });
    EXPECT_GT(failures, 2);
    EXPECT_EQ(0u, RDFieldFree(field));
}

TEST_F(PeerTest, RequestsWhoseSizeFollowsATextSurviveAllocationFailures) {
    Stream text(std::string(300, 'l'), 256);
    int failures = rdxtest::ForEachAllocationFailure(
        [&] { return CSMgrLog(1, 5, &text); },
        [](uint32_t status) {
            EXPECT_TRUE(status == 258 || status == 782 || status == 783) << status;
        });
    EXPECT_GT(failures, 0);
}

} // namespace
} // namespace csmgrtest
