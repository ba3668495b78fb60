// SPDX-License-Identifier: Apache-2.0
// Merged lists: the direct case, merges by position and by name, filters,
// virtual fields, merges of merged lists, freeing in every order, layout
// changes and copies refused, and every allocation failing in turn.
#include "../activity/activity_test_env.h"
#include "field_test_env.h"

#include <algorithm>
#include <array>
#include <functional>

namespace {

using fieldtest::AppendAll;
using fieldtest::FieldsTest;
using fieldtest::ListState;
using fieldtest::NamesOf;
using rdxtest::Stream;

uint32_t NewList(uint32_t records = 2) {
    uint32_t list = 0;
    EXPECT_EQ(0u, RDFieldlistAlloc(&list, records, 0));
    return list;
}

// A list of Int fields named names, field k holding 10 * (k + 1) in value 1.
uint32_t DataList(const std::vector<std::string> &names, uint32_t charset = 256) {
    const uint32_t list = NewList();
    const std::vector<uint32_t> fields = AppendAll(list, names, RDTYPE_INT, charset);
    for (size_t k = 0; k < fields.size(); ++k) {
        const int32_t v = static_cast<int32_t>(10 * (k + 1));
        EXPECT_EQ(0u, RDFieldSetInt(fields[k], 1, &v));
    }
    return list;
}

// The values of the visible fields of a list, in order, as "10,30".
std::string ValuesOf(uint32_t list) {
    std::string values;
    for (uint32_t p = 1; p <= RDFieldlistGetCount(list); ++p) {
        uint32_t field = 0;
        EXPECT_EQ(0u, RDFieldlistGetField(list, p, 256, &field, nullptr));
        int32_t v = 0;
        EXPECT_EQ(0u, RDFieldGetInt(field, 1, &v, nullptr));
        values += (values.empty() ? "" : ",") + std::to_string(v);
    }
    return values;
}

// The visible names of a list in the interchange set.
std::string VisibleNames(uint32_t list) {
    std::string names;
    for (uint32_t p = 1; p <= RDFieldlistGetCount(list); ++p) {
        Stream name;
        EXPECT_EQ(0u, RDFieldlistGetName(list, p, 256, &name));
        names += (names.empty() ? "" : "|") + name.Bytes();
    }
    return names;
}

uint32_t Merge(uint32_t layout, uint32_t data, uint32_t options, uint32_t expected = 0) {
    uint32_t merged = 99;
    EXPECT_EQ(expected, RDFieldlistMerge(&merged, layout, data, options));
    EXPECT_TRUE(expected == 0 || merged == 0);
    return merged;
}

TEST_F(FieldsTest, MergeChecksInOrderAndClearsOutputs) {
    const uint32_t layout = NewList(0), data = DataList({"a"}), namesOnly = NewList(0);
    AppendAll(layout, {"A"});
    AppendAll(namesOnly, {"a"});
    uint32_t merged = 7, gathered = 7;
    EXPECT_EQ(RDSTATUS_NULLARG2, RDFieldlistMerge(nullptr, layout, data, 0));
    EXPECT_EQ(RDSTATUS_NULLARG2, RDFieldlistMergeVirtual(&merged, layout, data, 0, 5, nullptr));
    EXPECT_EQ(0u, merged);
    merged = 7;
    EXPECT_EQ(RDSTATUS_NOLIST, RDFieldlistMergeVirtual(&merged, 999, data, 0, 5, &gathered));
    EXPECT_EQ(0u, merged + gathered);
    EXPECT_EQ(RDSTATUS_NOLIST, RDFieldlistMerge(&merged, layout, 999, 0));
    EXPECT_EQ(RDSTATUS_NOFIELDRECORDS, RDFieldlistMerge(&merged, layout, namesOnly, 0));
    // Without a virtual code the second output is only cleared.
    gathered = 7;
    ASSERT_EQ(0u, RDFieldlistMergeVirtual(&merged, layout, data, 0, 0, &gathered));
    EXPECT_EQ(0u, gathered);
    EXPECT_NE(0u, merged);
    RDSystemTerm(); // frees the merged list with the others
    EXPECT_EQ(RDSTATUS_NOTREADY, RDFieldlistMerge(&merged, 1, 2, 0));
    ASSERT_EQ(0u, RDSystemInit());
}

TEST_F(FieldsTest, DirectMergeShowsTheDataFieldsUnderTheLayoutNames) {
    const uint32_t layout = NewList(0), data = DataList({"x", "y", "z"});
    AppendAll(layout, {"A", "B", "C"});
    const uint32_t merged = Merge(layout, data, 0);
    EXPECT_EQ("A|B|C", VisibleNames(merged));
    EXPECT_EQ("10,20,30", ValuesOf(merged));
    EXPECT_EQ(2u, RDFieldlistGetRecordCount(merged));
    uint32_t viaMerged = 0, viaData = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(merged, 2, 256, &viaMerged, nullptr));
    ASSERT_EQ(0u, RDFieldlistGetField(data, 2, 256, &viaData, nullptr));
    EXPECT_EQ(viaData, viaMerged);
    const int32_t seven = 7;
    ASSERT_EQ(0u, RDFieldSetInt(viaMerged, 2, &seven));
    int32_t v = 0;
    ASSERT_EQ(0u, RDFieldGetInt(viaData, 2, &v, nullptr));
    EXPECT_EQ(7, v);
    Stream b("b", 256);
    uint32_t field = 0, position = 0;
    ASSERT_EQ(0u, RDFieldlistLookup(merged, &b, &field, &position));
    EXPECT_EQ(viaData, field);
    EXPECT_EQ(2u, position);
}

TEST_F(FieldsTest, PositionalMergeWithMoreAndFewerDataFields) {
    const uint32_t layout = NewList(0), five = DataList({"a", "b", "c", "d", "e"}),
                   two = DataList({"a", "b"});
    AppendAll(layout, {"A", "B", "C"});
    Merge(layout, five, 0, RDSTATUS_COUNTMISMATCH);
    EXPECT_EQ("10,20,30", ValuesOf(Merge(layout, five, RDMERGE_ALLOWEXTRA)));
    Merge(layout, two, RDMERGE_ALLOWEXTRA, RDSTATUS_COUNTMISMATCH);
    const uint32_t fewer = Merge(layout, two, RDMERGE_ALLOWMISSING);
    EXPECT_EQ("A|B", VisibleNames(fewer));
    EXPECT_EQ("10,20", ValuesOf(fewer));
}

TEST_F(FieldsTest, MergeByNameIgnoresCaseAndCharacterSets) {
    const uint32_t layout = NewList(0);
    AppendAll(layout, {"A", "B", "\xC3\x89t\xC3\xA9"}, RDTYPE_INT, 256); // "Été"
    // Data names in UTF-16 with other letter case.
    const uint32_t data =
        DataList({rdxtest::Wide(u"\u00C9t\u00E9"), rdxtest::Wide(u"a")}, RDCHARSET_UNICODE);
    const uint32_t merged = Merge(layout, data, RDMERGE_BYNAME | RDMERGE_ALLOWMISSING);
    EXPECT_EQ(2u, RDFieldlistGetCount(merged));
    EXPECT_EQ("20,10", ValuesOf(merged)); // a in slot 1, Été in slot 3
    Stream missing("b", 256);
    EXPECT_EQ(RDSTATUS_NOFIELD, RDFieldlistLookup(merged, &missing, nullptr, nullptr));
    uint32_t position = 0;
    Stream last("\xC3\x89t\xC3\xA9", 256);
    ASSERT_EQ(0u, RDFieldlistLookup(merged, &last, nullptr, &position));
    EXPECT_EQ(3u, position);

    // Without ALLOWMISSING the counts fail first; with equal counts the
    // first name without a partner fails.
    Merge(layout, data, RDMERGE_BYNAME, RDSTATUS_COUNTMISMATCH);
    const uint32_t three = DataList({"a", "b", "zz"});
    Merge(layout, three, RDMERGE_BYNAME, RDSTATUS_NAMEMISMATCH);
    Merge(layout, three, RDMERGE_BYNAME | RDMERGE_ALLOWEXTRA, RDSTATUS_NAMEMISMATCH); // C empty
    EXPECT_EQ("10,20", ValuesOf(Merge(layout, three,
                                      RDMERGE_BYNAME | RDMERGE_ALLOWEXTRA | RDMERGE_ALLOWMISSING)));
    // A layout without names cannot be merged by name.
    const uint32_t unnamed = NewList(0);
    Merge(unnamed, data, RDMERGE_BYNAME | RDMERGE_ALLOWEXTRA, RDSTATUS_BADCHARSET);
}

TEST_F(FieldsTest, MergeFiltersByFlags) {
    const uint32_t layout = NewList(0), data = DataList({"a", "b", "c"});
    AppendAll(layout, {"A", "B"});
    uint32_t b = 0, c = 0;
    RDFieldlistGetField(data, 2, 256, &b, nullptr);
    RDFieldlistGetField(data, 3, 256, &c, nullptr);
    ASSERT_EQ(0u, RDFieldSetFlags(b, 0x30));
    ASSERT_EQ(0u, RDFieldSetFlags(c, 0x430));
    Merge(layout, data, 0x30, RDSTATUS_COUNTMISMATCH); // b and c left out: one field for two
    EXPECT_EQ("10", ValuesOf(Merge(layout, data, 0x30 | RDMERGE_ALLOWMISSING)));
    EXPECT_EQ("10,30", ValuesOf(Merge(layout, data, 0x430))); // c keeps 0x400
    EXPECT_EQ("30", ValuesOf(Merge(layout, data, 0x400 | RDMERGE_ALLOWMISSING)));
}

TEST_F(FieldsTest, VirtualFieldsGoToTheirOwnList) {
    const uint32_t layout = NewList(0), data = DataList({"a", "b", "c", "d"});
    AppendAll(layout, {"A", "B"});
    const uint32_t codes[] = {0x00050000, 0, 0x00050001, 0x00050002};
    for (uint32_t k = 0; k < 4; ++k) {
        uint32_t field = 0;
        RDFieldlistGetField(data, k + 1, 256, &field, nullptr);
        ASSERT_EQ(0u, RDFieldSetVirtualCode(field, codes[k]));
    }
    uint32_t merged = 0, gathered = 0;
    ASSERT_EQ(0u, RDFieldlistMergeVirtual(&merged, layout, data, 0, 0x00050001, &gathered));
    EXPECT_EQ("20,40", ValuesOf(merged));
    EXPECT_EQ("10,30", ValuesOf(gathered));
    EXPECT_EQ("a|c", VisibleNames(gathered));
    EXPECT_EQ(4u, rdx::FindFieldlist(gathered)->count);
}

TEST_F(FieldsTest, MergedListsMergeAgain) {
    const uint32_t layout = NewList(0), data = DataList({"c", "a", "b"}), outer = NewList(0);
    AppendAll(layout, {"A", "B", "C", "D"});
    AppendAll(outer, {"d", "c", "b"});
    const uint32_t first = Merge(layout, data, RDMERGE_BYNAME | RDMERGE_ALLOWMISSING);
    EXPECT_EQ("20,30,10", ValuesOf(first));
    Merge(outer, first, RDMERGE_BYNAME | RDMERGE_ALLOWMISSING, RDSTATUS_NAMEMISMATCH); // A
    const uint32_t second =
        Merge(outer, first, RDMERGE_BYNAME | RDMERGE_ALLOWMISSING | RDMERGE_ALLOWEXTRA);
    EXPECT_EQ("10,30", ValuesOf(second)); // c and b; D had no field
    const uint32_t direct = Merge(outer, Merge(outer, data, 0), 0);
    EXPECT_EQ("10,20,30", ValuesOf(direct));
}

// Whatever the order of freeing, the merged lists keep what they show
// until they are freed themselves (the sanitizers check the rest).
TEST_F(FieldsTest, InputsAndResultsFreedInEveryOrder) {
    std::array<int, 4> order = {0, 1, 2, 3};
    do {
        const uint32_t layout = NewList(0), data = DataList({"a", "b", "c"});
        AppendAll(layout, {"C", "A"});
        uint32_t merged = 0, gathered = 0, direct = 0;
        uint32_t field = 0;
        RDFieldlistGetField(data, 2, 256, &field, nullptr);
        RDFieldSetVirtualCode(field, 9);
        ASSERT_EQ(0u, RDFieldlistMergeVirtual(&merged, layout, data, RDMERGE_BYNAME, 9, &gathered));
        ASSERT_EQ(0u, RDFieldlistMerge(&direct, layout, data, RDMERGE_ALLOWEXTRA));
        const uint32_t lists[] = {layout, data, merged, gathered};
        for (int k : order) {
            ASSERT_EQ(0u, RDFieldlistFree(lists[k]));
            for (uint32_t live : {merged, gathered, direct}) {
                if (rdx::FindFieldlist(live) != nullptr) {
                    ValuesOf(live);
                }
            }
        }
        EXPECT_EQ("10,20", ValuesOf(direct));
        EXPECT_EQ("C|A", NamesOf(direct));
        ASSERT_EQ(0u, RDFieldlistFree(direct));
        EXPECT_EQ(0u, RDFieldGetType(field)); // the last list released the data fields
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST_F(FieldsTest, LayoutChangesAndCopiesWhileMerged) {
    const uint32_t layout = NewList(0), data = DataList({"a", "b"});
    AppendAll(layout, {"A", "B"});
    const uint32_t merged = Merge(layout, data, RDMERGE_BYNAME);
    const std::string layoutBefore = ListState(layout);
    Stream name("n", 256);
    for (uint32_t list : {merged, layout, data}) {
        EXPECT_EQ(RDSTATUS_SHAREDLIST, RDFieldlistAppend(list, &name, RDTYPE_INT, nullptr));
        EXPECT_EQ(RDSTATUS_SHAREDLIST, RDFieldlistInsert(list, 1, &name, RDTYPE_INT, nullptr));
        EXPECT_EQ(RDSTATUS_SHAREDLIST, RDFieldlistReplace(list, 1, &name, RDTYPE_INT, nullptr));
        EXPECT_EQ(RDSTATUS_SHAREDLIST, RDFieldlistRemove(list, 1));
    }
    EXPECT_EQ(RDSTATUS_SHAREDLIST, RDFieldlistSetName(merged, 1, &name));
    EXPECT_EQ(RDSTATUS_SHAREDLIST, RDFieldlistSetName(layout, 1, &name));
    EXPECT_EQ(0u, RDFieldlistSetName(data, 1, &name)); // the merged list uses the layout's names
    uint32_t copy = 0;
    EXPECT_EQ(RDSTATUS_SHAREDLIST, RDFieldlistCopy(&copy, merged));
    EXPECT_EQ(RDSTATUS_SHAREDLIST, RDFieldlistCopyRef(&copy, merged));
    EXPECT_EQ(layoutBefore, ListState(layout));
    ASSERT_EQ(0u, RDFieldlistFree(merged));
    EXPECT_EQ(0u, RDFieldlistAppend(layout, &name, RDTYPE_INT, nullptr));
    EXPECT_EQ(0u, RDFieldlistRemove(data, 1));
}

// A name array added through a merged list holds every name of the block,
// at the block's capacity, so the layout list can grow with it later.
TEST_F(FieldsTest, NameArraysAddedThroughAMergedList) {
    const uint32_t layout = NewList(0), data = DataList({"a"});
    AppendAll(layout, {"A", "B", "C"});
    const uint32_t merged = Merge(layout, data, RDMERGE_ALLOWMISSING);
    EXPECT_EQ(1u, RDFieldlistGetCount(merged));
    EXPECT_EQ(2u, RDFieldlistGetNameLength(merged, RDCHARSET_UNICODE)); // its one name
    ASSERT_EQ(0u, RDFieldlistFree(merged));
    std::vector<std::string> more;
    for (int k = 0; k < 40; ++k)
        more.push_back("n" + std::to_string(k));
    AppendAll(layout, more);
    Stream wide(rdxtest::Wide(u"n39"), RDCHARSET_UNICODE);
    uint32_t position = 0;
    ASSERT_EQ(0u, RDFieldlistLookup(layout, &wide, nullptr, &position));
    EXPECT_EQ(43u, position);
    Stream c(rdxtest::Wide(u"C"), RDCHARSET_UNICODE);
    ASSERT_EQ(0u, RDFieldlistLookup(layout, &c, nullptr, &position));
    EXPECT_EQ(3u, position);
}

TEST_F(FieldsTest, MergeAllocationFailuresLeaveTheInputsAlone) {
    const uint32_t layout = NewList(0), data = DataList({"b", "a", "v"}, 1252);
    AppendAll(layout, {rdxtest::Wide(u"A"), rdxtest::Wide(u"B")}, RDTYPE_INT, RDCHARSET_UNICODE);
    uint32_t field = 0;
    RDFieldlistGetField(data, 3, 1252, &field, nullptr);
    RDFieldSetVirtualCode(field, 3);
    const std::string layoutBefore = ListState(layout), dataBefore = ListState(data);
    const uint32_t nextList = rdx::Fields().fieldlistTable.next;
    uint32_t merged = 0, gathered = 0;
    const int failures = rdxtest::ForEachAllocationFailure(
        [&] {
            return RDFieldlistMergeVirtual(&merged, layout, data, RDMERGE_BYNAME, 3, &gathered);
        },
        [&](uint32_t status) {
            EXPECT_EQ(258u, status);
            EXPECT_EQ(0u, merged + gathered);
            EXPECT_EQ(layoutBefore, ListState(layout));
            EXPECT_EQ(dataBefore, ListState(data));
            EXPECT_EQ(nextList, rdx::Fields().fieldlistTable.next);
        });
    EXPECT_GT(failures, 2);
    EXPECT_EQ("20,10", ValuesOf(merged));
    EXPECT_EQ("30", ValuesOf(gathered));
}

// With an activity running, a mismatch is also logged with its counts or
// the name without a partner; the status is the merge's either way.
class MergeInActivity : public rdxtest::ActivityTest {};

TEST_F(MergeInActivity, MismatchesAreLoggedAndReturned) {
    const uint32_t layout = NewList(0), data = DataList({"a", "x"});
    AppendAll(layout, {"A", "B", "C"});
    Merge(layout, data, 0, RDSTATUS_COUNTMISMATCH);
    EXPECT_EQ("ERROR: The record has 2 fields, the layout 3.", LastText());
    EXPECT_EQ(RDSTATUS_COUNTMISMATCH, RDActivityGetStatus());
    Merge(layout, data, RDMERGE_BYNAME | RDMERGE_ALLOWMISSING, RDSTATUS_NAMEMISMATCH);
    EXPECT_EQ("ERROR: Field x has no counterpart.", LastText());
    ASSERT_EQ(2u, sent().size());
    EXPECT_EQ(9u, sent()[1].handle);
}

} // namespace
