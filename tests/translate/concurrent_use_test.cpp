// SPDX-License-Identifier: Apache-2.0
// Several threads translating and comparing their own streams at once, each
// round starting with nothing loaded: tables and collators are opened by
// whichever thread comes first, exactly once, and shared converters never
// mix two threads' texts.
#include "../values/rdx_test_env.h"
#include "translate/translation.h"

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

using rdxtest::Converted;
using rdxtest::Repeat;
using rdxtest::Stream;

namespace {

class ConcurrentUse : public rdxtest::SystemTest {};

// Entries for code in its chain.
int ChainEntries(uint32_t code) {
    int count = 0;
    for (const rdx::TranslationTable *entry =
             rdx::Context()->translation.chains[code % rdx::kTranslationChains];
         entry != nullptr; entry = entry->next)
        count += entry->code == code ? 1 : 0;
    return count;
}

// Order of a and b, or 99 when the comparison failed.
int32_t Order(Stream &a, Stream &b) {
    int32_t order = 99;
    return RDStreamDataCompare(&a, &b, &order) == 0 ? order : 99;
}

// One thread's work; returns the number of wrong results.
int Work(int thread, std::latch &start) {
    const uint32_t codes[] = {1250, 1251, 1253, 932};
    const std::string sjis = Repeat("\x93\xFA\x96\x7B"
                                    "a",
                                    200 + thread);
    const std::string sjisUtf8 = Repeat("\xE6\x97\xA5\xE6\x9C\xAC"
                                        "a",
                                        200 + thread);
    start.arrive_and_wait();
    int wrong = 0;
    for (uint32_t code : codes)
        wrong += Converted("abc", code, 256) == "abc" ? 0 : 1;
    Stream upper("CAF\xC3\x89", 256), lower("caf\xE9", 1252, 0, RDSTREAM_NOCASE);
    Stream latin("caf\xE9", 1252), z("cafz", 256);
    wrong += Order(upper, lower) == 0 ? 0 : 1; // case-insensitive collator
    wrong += Order(latin, z) == -1 ? 0 : 1;    // case-sensitive collator
    for (int i = 0; i < 20; ++i) {
        wrong += Converted(sjis, 932, 256) == sjisUtf8 ? 0 : 1;
        wrong += Converted(sjisUtf8, 256, 932) == sjis ? 0 : 1;
    }
    return wrong;
}

TEST_F(ConcurrentUse, FirstUseFromSeveralThreads) {
    constexpr int kThreads = 6;
    for (int round = 0; round < 5; ++round) {
        std::latch start(kThreads);
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] { wrong += Work(t, start); });
        for (std::thread &thread : threads)
            thread.join();
        EXPECT_EQ(0, wrong.load()) << "round " << round;
        for (uint32_t code : {1250u, 1251u, 1253u, 932u})
            EXPECT_EQ(1, ChainEntries(code)) << code << ", round " << round;
        RDSystemTerm(); // nothing loaded for the next round
        ASSERT_EQ(0u, RDSystemInit());
    }
}

} // namespace
