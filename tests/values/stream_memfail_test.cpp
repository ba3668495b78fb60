// SPDX-License-Identifier: Apache-2.0
// Every allocation of the stream operations made to fail in turn: the
// operation reports 258, the stream keeps the state it should, and nothing
// leaks (LeakSanitizer checks at exit).
#include "rdx_test_env.h"

using rdxtest::ForEachAllocationFailure;
using rdxtest::Stream;

namespace {

class StreamMemFail : public rdxtest::SystemTest {};

TEST_F(StreamMemFail, SizingOperations) {
    const std::string text(40, 'g'), before = "twenty bytes of text";
    Stream s(before, 300, 0, RDSTREAM_NOCASE);
    auto restore = [&] { RDStreamDataSet(&s, 300, before.data(), 20); };
    const std::pair<std::function<uint32_t()>, int> cases[] = {
        {[&] { return RDStreamDataSet(&s, 300, text.data(), 40); }, 1},
        {[&] { return RDStreamDataAlloc(&s, 300, 50, nullptr, nullptr); }, 1},
        {[&] { return RDStreamDataRealloc(&s, 500, nullptr); }, 1},
        // Own bytes are copied aside; the shorter value stays in the block.
        {[&] { return RDStreamDataSet(&s, 300, s.s.data + 1, 15); }, 1},
        {[&] {
             RDStreamDataFree(&s); // a record is freed before it is created anew
             return RDStreamCreate(&s, 8, RDSTREAM_NOCASE, 300);
         },
         1},
    };
    for (const auto &[attempt, expected] : cases) {
        restore();
        int failures = ForEachAllocationFailure(attempt, [&](uint32_t status) {
            EXPECT_EQ(258u, status);
            // Lost storage, or untouched when the failure came before sizing.
            EXPECT_EQ(s.s.data == nullptr ? "" : before, s.Bytes());
            EXPECT_EQ(s.s.data == nullptr ? 0u : 20u, s.s.length);
            EXPECT_EQ(300u, s.s.charset);
            EXPECT_EQ(RDSTREAM_NOCASE, s.s.flags);
            RDStreamDataFree(&s);
            restore();
        });
        EXPECT_EQ(expected, failures);
    }
}

TEST_F(StreamMemFail, SetFlagsKeepsEverything) {
    Stream s("abcdefghijkl", 256, 40);
    int failures =
        ForEachAllocationFailure([&] { return RDStreamDataSetFlags(&s, RDSTREAM_FIXED); },
                                 [&](uint32_t status) {
                                     EXPECT_EQ(258u, status);
                                     EXPECT_TRUE(s.s.flags == 0 && s.Bytes() == "abcdefghijkl");
                                 });
    EXPECT_EQ(1, failures);
}

TEST_F(StreamMemFail, CopyExtractMerge) {
    const std::string text = "0123456789abcdefghij";
    Stream source(text, 256), latin("\xE9\xE9", 1252), d;
    auto restore = [&] { RDStreamDataCopy(&d, &source); };
    const std::function<uint32_t()> attempts[] = {
        [&] { return RDStreamDataCopy(&d, &source); },
        [&] { return RDStreamDataExtract(&d, &d, 2, 15); },
        [&] { return RDStreamDataMerge(&d, &d, 3, &latin); },
        [&] { return RDStreamDataMerge(&d, &source, 3, &source); },
    };
    for (const auto &attempt : attempts) {
        restore();
        int failures = ForEachAllocationFailure(attempt, [&](uint32_t status) {
            EXPECT_EQ(258u, status);
            // Lost storage, or untouched when it failed before sizing.
            EXPECT_TRUE(d.s.length == text.size() || (d.s.length == 0 && d.s.data == nullptr));
            restore();
        });
        EXPECT_GE(failures, 1);
    }
    EXPECT_EQ("01" + text + text.substr(2), d.Bytes());
}

TEST_F(StreamMemFail, ConvertThroughEveryPath) {
    const std::tuple<std::string, uint32_t, uint32_t> cases[] = {
        {"caf\xE9", 1250, 256},
        {std::string(200, '\xE9'), 1252, RDCHARSET_UNICODE},
        {rdxtest::List({"a", "bb"}), RDKIND_TEXTLIST, RDCHARSET_UNICODE},
        {rdxtest::kParagraphEnd + rdxtest::TextRun("hi"), RDKIND_RICHTEXT, 1252},
        {"a, b; c", 28592, RDKIND_TEXTLIST}};
    for (const auto &[bytes, from, to] : cases) {
        Stream source(bytes, from), d("previous", 256, 0, RDSTREAM_NOCASE);
        int failures = ForEachAllocationFailure(
            [&] { return RDStreamDataConvert(&d, &source, 0, to, nullptr, nullptr); },
            [&](uint32_t status) {
                EXPECT_EQ(258u, status);
                EXPECT_EQ(rdxtest::Fields({0, 0, 0, 0}), rdxtest::FieldsOf(d.s)); // cleared
                EXPECT_EQ(nullptr, d.s.data);
            });
        EXPECT_GE(failures, 1) << from << " -> " << to;
    }
}

TEST_F(StreamMemFail, CompareFreesItsTemporaries) {
    Stream latin(std::string(30, '\xE9'), 1252), wide(std::string(60, 'x'), 256);
    Stream list(rdxtest::List({"ab"}), RDKIND_TEXTLIST), text("ab", 256);
    int32_t order = 5;
    const std::pair<RDStream *, RDStream *> pairs[] = {{&latin, &wide}, {&text, &list}};
    for (const auto &[first, second] : pairs) {
        int failures = ForEachAllocationFailure(
            [&] { return RDStreamDataCompare(first, second, &order); },
            [&](uint32_t status) { EXPECT_TRUE(status == 258 && order == 0) << status; });
        EXPECT_GE(failures, 1);
    }
    EXPECT_EQ(0, order);
}

} // namespace
