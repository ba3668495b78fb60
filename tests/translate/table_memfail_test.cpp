// SPDX-License-Identifier: Apache-2.0
// Every allocation of the character-set tables, their converters and
// collators, RDMemAlloc and the C++ heap alike, made to fail in turn: the
// operation reports a lack of memory (258 at the interface, never 12305),
// keeps nothing half-made, and leaks nothing (LeakSanitizer checks at exit).
#include "../values/rdx_test_env.h"
#include "activity/system_context.h"
#include "icu_heap_failures.h"
#include "translate/translation.h"

#include <cstring>
#include <utility>

namespace {

using rdxtest::ForEachAllocationFailure;

class TableMemFail : public rdxtest::SystemTest {};

// A caller's record over bytes at an odd address: UTF-16 text there is
// copied to an aligned block before ICU reads it.
struct OddRecord {
    alignas(8) char storage[256];
    RDStream s{};
    OddRecord(const std::string &bytes, uint32_t charset, uint32_t flags = 0) {
        std::memcpy(storage + 1, bytes.data(), bytes.size());
        std::memset(storage + 1 + bytes.size(), 0, 4);
        s = RDStream{0, static_cast<uint32_t>(bytes.size()), flags, charset,
                     reinterpret_cast<uint8_t *>(storage + 1)};
    }
};

TEST_F(TableMemFail, OpeningATableKeepsNoHalfMadeTable) {
    const int32_t country = 1;
    xcore::Table *table = nullptr;
    EXPECT_GT(
        ForEachAllocationFailure([&] { return xcore::OpenTable(&table, &country, "en", 1252); },
                                 [&](uint32_t status) {
                                     EXPECT_EQ(xcore::kNoMemory, status);
                                     EXPECT_EQ(nullptr, table);
                                 }),
        0);
    xcore::CloseTable(table);
    EXPECT_EQ(xcore::kFailed, xcore::OpenTable(&table, &country, "en", 4242)); // unknown code
}

TEST_F(TableMemFail, ChainLookupAddsNoEntryUnlessItSucceeds) {
    xcore::Table *table = nullptr;
    const rdx::TranslationTable *const &head = rdx::Context()->translation.chains[1257 % 16];
    EXPECT_GT(ForEachAllocationFailure([&] { return rdx::TableLookup(1257, &table); },
                                       [&](uint32_t status) {
                                           EXPECT_EQ(258u, status);
                                           EXPECT_EQ(nullptr, table);
                                           EXPECT_EQ(nullptr, head);
                                       }),
              0);
    ASSERT_NE(nullptr, head);
    EXPECT_TRUE(head->code == 1257 && head->handle == table && head->next == nullptr);
}

TEST_F(TableMemFail, ConversionsThroughTheTablesReport258AndClearTheDestination) {
    // Misaligned UTF-16 (copied before ICU reads it) into a single-byte set and
    // into UTF-8; a long text into a destination with a maximum length (the
    // translation's own output block).
    OddRecord odd(rdxtest::Wide(u"caf\u00E9 na\u00EFve"), RDCHARSET_UNICODE);
    rdxtest::Stream longLatin(std::string(100, '\xE9'), 1252, 500);
    const std::pair<RDStream *, uint32_t> cases[] = {
        {&odd.s, 1252}, {&odd.s, 256}, {&longLatin.s, 256}, {&longLatin.s, RDCHARSET_UNICODE}};
    for (const auto &[source, to] : cases) {
        rdxtest::Stream d("previous", 256, 0, RDSTREAM_NOCASE);
        EXPECT_GT(ForEachAllocationFailure(
                      [&] { return RDStreamDataConvert(&d, source, 0, to, nullptr, nullptr); },
                      [&](uint32_t status) {
                          EXPECT_EQ(258u, status) << source->charset << " -> " << to;
                          EXPECT_EQ(rdxtest::Fields({0, 0, 0, 0}), rdxtest::FieldsOf(d.s));
                          EXPECT_EQ(nullptr, d.s.data);
                      }),
                  0)
            << source->charset << " -> " << to;
        EXPECT_EQ(to, d.s.charset);
    }
}

TEST_F(TableMemFail, CollationThatRanOutOfMemoryIsNotAnOrder) {
    // Misaligned UTF-16 against UTF-8 text: the collator reads a copy.
    OddRecord odd(rdxtest::Wide(u"Cr\u00E8me br\u00FBl\u00E9e"), RDCHARSET_UNICODE,
                  RDSTREAM_NOCASE);
    rdxtest::Stream other("creme brulee", 256);
    int32_t order = 5;
    EXPECT_GT(ForEachAllocationFailure([&] { return RDStreamDataCompare(&odd.s, &other, &order); },
                                       [&](uint32_t status) {
                                           EXPECT_EQ(258u, status);
                                           EXPECT_EQ(0, order);
                                       }),
              0);
    EXPECT_EQ(1, order); // case aside, the accent still counts
}

// ICU's own allocations failing as well, in the converters that a table
// opens and clones: 258, never 12305. ICU absorbs the failure of some
// allocations that are not needed (its caches), so a run may also succeed
// with a failure spent; the table is then whole. (Collators are not looped:
// ICU keeps a failed creation of collation data in its cache for the life
// of the process.)
TEST_F(TableMemFail, IcuRunningOutOfMemoryInATableGives258) {
    const rdxtest::IcuHeapFailures icuHeap;
    const int32_t country = 1;
    xcore::Table *table = nullptr;
    int noMemory = 0;
    ForEachAllocationFailure(
        [&] {
            const uint32_t status = xcore::OpenTable(&table, &country, "en", 1254);
            xcore::CloseTable(std::exchange(table, nullptr));
            return status;
        },
        [&](uint32_t status) {
            EXPECT_TRUE(status == 0 || status == xcore::kNoMemory) << status;
            noMemory += status == xcore::kNoMemory ? 1 : 0;
        });
    EXPECT_GT(noMemory, 0);
}

} // namespace
