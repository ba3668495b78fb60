// SPDX-License-Identifier: Apache-2.0
// Copies and shared copies of lists and their lifetimes, and the tear-down
// of everything still registered at RDSystemTerm.
#include "field_test_env.h"

namespace {

using fieldtest::AppendAll;
using fieldtest::FieldsTest;
using fieldtest::NamesOf;
using rdxtest::Stream;

// A list of an Int and a text field with values in both.
uint32_t FilledList(std::vector<uint32_t> *handles) {
    uint32_t list = 0;
    EXPECT_EQ(0u, RDFieldlistAlloc(&list, 2, 0));
    *handles = AppendAll(list, {"n"}, RDTYPE_INT);
    handles->push_back(AppendAll(list, {"t"}, RDTYPE_TEXT)[0]);
    void *value = nullptr;
    EXPECT_EQ(0u, RDFieldGetBuffer((*handles)[0], 2, &value, nullptr));
    *static_cast<int32_t *>(value) = 42;
    RDFieldSetNull((*handles)[0], 2, 0);
    EXPECT_EQ(0u, RDFieldSetFormatStream((*handles)[1], RDSTREAM_TRUNCATE, 6, 256));
    EXPECT_EQ(0u, RDFieldGetBuffer((*handles)[1], 1, &value, nullptr));
    EXPECT_EQ(0u, RDStreamDataSet(static_cast<RDStream *>(value), 256, "text", 4));
    RDFieldSetNull((*handles)[1], 1, 0);
    return list;
}

TEST_F(FieldsTest, CopyHasItsOwnFieldsWithEqualValues) {
    std::vector<uint32_t> source;
    const uint32_t list = FilledList(&source);
    RDFieldSetFlags(source[1], 0x4);
    uint32_t copy = 0;
    ASSERT_EQ(0u, RDFieldlistCopy(&copy, list));
    EXPECT_EQ("n|t", NamesOf(copy));
    EXPECT_EQ(2u, RDFieldlistGetRecordCount(copy));
    for (uint32_t k = 0; k < 2; ++k) {
        uint32_t field = 0;
        ASSERT_EQ(0u, RDFieldlistGetField(copy, k + 1, 256, &field, nullptr));
        EXPECT_NE(source[k], field);
        const rdx::Field &a = *rdx::FindField(source[k]), &b = *rdx::FindField(field);
        EXPECT_EQ(a.flags, b.flags);
        EXPECT_EQ(0, std::memcmp(a.format, b.format, sizeof a.format));
        EXPECT_EQ(a.nulls[0], b.nulls[0]);
        EXPECT_EQ(a.nulls[1], b.nulls[1]);
        EXPECT_EQ(rdx::FindFieldlist(copy), b.owner);
    }
    uint32_t copied = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(copy, 2, 256, &copied, nullptr));
    // A copied text value keeps its data, maximum length and flags.
    const RDStream &value = *rdx::StreamAt(*rdx::FindField(copied), 1);
    EXPECT_EQ((rdxtest::Fields{6, 4, RDSTREAM_TRUNCATE, 256}),
              rdxtest::FieldsOf(value, RDSTREAM_CALLER_MASK));
    EXPECT_EQ(0, std::memcmp(value.data, "text", 4));
    // Changing the copy leaves the source alone, and the other way round.
    ASSERT_EQ(0u, RDStreamDataSet(rdx::StreamAt(*rdx::FindField(copied), 1), 256, "other", 5));
    EXPECT_EQ(0, std::memcmp(rdx::StreamAt(*rdx::FindField(source[1]), 1)->data, "text", 4));
    Stream n("renamed", 256);
    ASSERT_EQ(0u, RDFieldlistSetName(copy, 1, &n));
    ASSERT_EQ(0u, RDFieldlistAppend(list, &n, RDTYPE_INT, nullptr));
    EXPECT_EQ("renamed|t", NamesOf(copy));
    EXPECT_EQ("n|t|renamed", NamesOf(list));
    RDFieldlistFree(list);
    EXPECT_EQ(RDTYPE_TEXT, RDFieldGetType(copied));
}

TEST_F(FieldsTest, SharedCopyRefusesLayoutChangesWhileShared) {
    std::vector<uint32_t> fields;
    const uint32_t list = FilledList(&fields);
    uint32_t copy = 0;
    ASSERT_EQ(0u, RDFieldlistCopyRef(&copy, list));
    uint32_t shared = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(copy, 2, 256, &shared, nullptr));
    EXPECT_EQ(fields[1], shared);
    Stream n("x", 256);
    for (uint32_t l : {list, copy}) {
        EXPECT_EQ(12311u, RDFieldlistAppend(l, &n, RDTYPE_INT, nullptr));
        EXPECT_EQ(12311u, RDFieldlistInsert(l, 1, &n, RDTYPE_INT, nullptr));
        EXPECT_EQ(12311u, RDFieldlistReplace(l, 1, &n, RDTYPE_INT, nullptr));
        EXPECT_EQ(12311u, RDFieldlistRemove(l, 1));
    }
    ASSERT_EQ(0u, RDFieldlistSetName(copy, 1, &n)); // names are each list's own
    EXPECT_EQ("x|t", NamesOf(copy));
    EXPECT_EQ("n|t", NamesOf(list));
    RDFieldlistFree(copy);
    EXPECT_EQ(0u, RDFieldlistAppend(list, &n, RDTYPE_INT, nullptr));
}

TEST_F(FieldsTest, SharedFieldsOutliveTheListThatMadeThem) {
    std::vector<uint32_t> fields;
    const uint32_t list = FilledList(&fields);
    uint32_t first = 0, second = 0;
    ASSERT_EQ(0u, RDFieldlistCopyRef(&first, list));
    ASSERT_EQ(0u, RDFieldlistCopyRef(&second, first));
    ASSERT_EQ(0u, RDFieldlistFree(list));
    // The fields now belong to a list that still shares them: setting flags
    // marks that list, never the freed one.
    RDFieldlistGetSequence(first);
    const uint32_t before = RDFieldlistGetSequence(first);
    ASSERT_EQ(0u, RDFieldSetFlags(fields[0], 0x40));
    EXPECT_GT(RDFieldlistGetSequence(first), before);
    ASSERT_EQ(0u, RDFieldlistFree(first));
    ASSERT_EQ(0u, RDFieldSetVirtualCode(fields[1], 9));
    EXPECT_EQ(rdx::FindFieldlist(second), rdx::FindField(fields[1])->owner);
    Stream n("x", 256);
    EXPECT_EQ(0u, RDFieldlistAppend(second, &n, RDTYPE_INT, nullptr)); // no longer shared
    ASSERT_EQ(0u, RDFieldlistFree(second));
    EXPECT_EQ(0u, RDFieldGetType(fields[0]));
    EXPECT_EQ(12307u, RDFieldlistFree(second));
}

TEST_F(FieldsTest, CopyRefusals) {
    uint32_t out = 5;
    EXPECT_EQ(12302u, RDFieldlistCopy(nullptr, 1));
    EXPECT_EQ(12302u, RDFieldlistCopyRef(nullptr, 1));
    EXPECT_EQ(12307u, RDFieldlistCopy(&out, 1));
    EXPECT_EQ(0u, out);
    out = 5;
    EXPECT_EQ(12307u, RDFieldlistCopyRef(&out, 1));
    EXPECT_EQ(0u, out);
}

TEST_F(FieldsTest, ListsBorrowingFromOthersKeepTheirLayoutAndAreNotCopied) {
    std::vector<uint32_t> fields;
    const uint32_t list = FilledList(&fields);
    rdx::Fieldlist &record = *rdx::FindFieldlist(list);
    record.listFlags = rdx::kListBorrowed; // as a merge makes them
    const std::string before = fieldtest::ListState(list);
    Stream n("x", 256);
    uint32_t copy = 0;
    EXPECT_EQ(12311u, RDFieldlistAppend(list, &n, RDTYPE_INT, nullptr));
    EXPECT_EQ(12311u, RDFieldlistReplace(list, 1, &n, RDTYPE_INT, nullptr));
    EXPECT_EQ(12311u, RDFieldlistRemove(list, 1));
    EXPECT_EQ(12311u, RDFieldlistSetName(list, 1, &n));
    EXPECT_EQ(12311u, RDFieldlistCopy(&copy, list));
    EXPECT_EQ(12311u, RDFieldlistCopyRef(&copy, list));
    EXPECT_EQ(before, fieldtest::ListState(list));
    record.listFlags = 0; // its blocks are its own after all: freed with it
}

TEST_F(FieldsTest, TearDownFreesEveryListAndField) {
    std::vector<uint32_t> fields;
    FilledList(&fields);
    uint32_t copy = 0, shared = 0, loose = 0, names = 0;
    ASSERT_EQ(0u, RDFieldlistCopy(&copy, 1));
    ASSERT_EQ(0u, RDFieldlistCopyRef(&shared, copy));
    ASSERT_EQ(0u, RDFieldAlloc(&loose, RDTYPE_BINARY, 4));
    ASSERT_EQ(0u, RDFieldlistAlloc(&names, 0, 0));
    AppendAll(names, {"a", "b"});
    void *value = nullptr;
    ASSERT_EQ(0u, RDFieldGetBuffer(loose, 4, &value, nullptr));
    ASSERT_EQ(0u, RDStreamDataSet(static_cast<RDStream *>(value), RDKIND_BINARY, "\1\2", 2));
    // Nested set-ups keep everything until the last RDSystemTerm, which
    // frees it all (LeakSanitizer checks at exit).
    ASSERT_EQ(0u, RDSystemInit());
    RDSystemTerm();
    EXPECT_EQ(RDTYPE_BINARY, RDFieldGetType(loose));
    RDSystemTerm();
    EXPECT_EQ(nullptr, rdx::Context());
    ASSERT_EQ(0u, RDSystemInit());
    EXPECT_EQ(0u, RDFieldGetType(loose));
    EXPECT_EQ(0u, RDFieldlistGetCount(names));
    uint32_t again = 0;
    ASSERT_EQ(0u, RDFieldlistAlloc(&again, 1, 0));
    EXPECT_EQ(1u, again); // numbering restarts
    EXPECT_EQ(1u, RDFieldlistGetSequence(again));
}

} // namespace
