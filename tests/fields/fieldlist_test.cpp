// SPDX-License-Identifier: Apache-2.0
// Field lists: growth, slot changes at every position, names in several
// character sets, lookup, listing, sequence numbers and names-only lists.
#include "field_test_env.h"

#include <functional>
#include <tuple>

namespace {

using fieldtest::AppendAll;
using fieldtest::FieldsTest;
using fieldtest::NamesOf;
using rdxtest::Stream;

uint32_t NewList(uint32_t records = 2, uint32_t flags = 0) {
    uint32_t list = 0;
    EXPECT_EQ(0u, RDFieldlistAlloc(&list, records, flags));
    return list;
}

std::vector<std::string> Numbered(const std::string &prefix, int n) {
    std::vector<std::string> names;
    for (int i = 1; i <= n; ++i)
        names.push_back(prefix + std::to_string(i));
    return names;
}

TEST_F(FieldsTest, AppendGrowsInTheStepsAndHandlesFollowTheirRecords) {
    const uint32_t list = NewList(3, RDFIELD_TRUNCATE | 0x7000000);
    const rdx::Fieldlist *record = rdx::FindFieldlist(list);
    EXPECT_EQ(20u, record->capacity);
    const std::vector<std::string> names = Numbered("c", 261);
    std::vector<uint32_t> handles;
    const std::pair<size_t, uint32_t> steps[] = {{20, 20},  {21, 40},   {41, 80},
                                                 {81, 160}, {161, 260}, {261, 360}};
    size_t done = 0;
    for (const auto &[count, capacity] : steps) {
        std::vector<std::string> more(names.begin() + done, names.begin() + count);
        for (uint32_t h : AppendAll(list, more, RDTYPE_TEXT))
            handles.push_back(h);
        done = count;
        EXPECT_EQ(capacity, record->capacity) << count;
        fieldtest::ListState(list); // every handle reaches its moved record
    }
    EXPECT_EQ(261u, RDFieldlistGetCount(list));
    for (uint32_t i = 0; i < handles.size(); ++i) {
        uint32_t field = 0, position = 0;
        Stream name(names[i], 256);
        ASSERT_EQ(0u, RDFieldlistLookup(list, &name, &field, &position));
        EXPECT_EQ(handles[i], field);
        EXPECT_EQ(i + 1, position);
    }
    // Fields made in the list take its default flags (caller bits only);
    // truncating text fields get truncating values.
    EXPECT_EQ(RDFIELD_TRUNCATE, RDFieldGetFlags(handles[5]));
    EXPECT_EQ(3u, RDFieldGetValueCount(handles[5]));
    RDStream *value = nullptr;
    ASSERT_EQ(0u, RDFieldGetBuffer(handles[5], 3, reinterpret_cast<void **>(&value), nullptr));
    EXPECT_EQ(RDSTREAM_TRUNCATE, value->flags & RDSTREAM_CALLER_MASK);
    // A field of a list cannot be freed through its handle.
    EXPECT_EQ(0u, RDFieldFree(handles[0]));
    EXPECT_EQ(RDTYPE_TEXT, RDFieldGetType(handles[0]));
}

TEST_F(FieldsTest, InsertReplaceRemoveAtEveryPosition) {
    enum Op { Insert, Replace, Remove };
    const std::tuple<Op, uint32_t, std::string> cases[] = {
        {Insert, 1, "N|A|B|C"}, {Insert, 2, "A|N|B|C"}, {Insert, 4, "A|B|C|N"},
        {Replace, 1, "N|B|C"},  {Replace, 2, "A|N|C"},  {Replace, 3, "A|B|N"},
        {Remove, 1, "B|C"},     {Remove, 2, "A|C"},     {Remove, 3, "A|B"}};
    for (const auto &[op, position, expected] : cases) {
        const uint32_t list = NewList();
        const std::vector<uint32_t> old = AppendAll(list, {"A", "B", "C"});
        Stream n("N", 256);
        uint32_t made = 0, status = 0;
        if (op == Insert) status = RDFieldlistInsert(list, position, &n, RDTYPE_FLOAT, &made);
        if (op == Replace) status = RDFieldlistReplace(list, position, &n, RDTYPE_FLOAT, &made);
        if (op == Remove) status = RDFieldlistRemove(list, position);
        ASSERT_EQ(0u, status);
        EXPECT_EQ(expected, NamesOf(list)) << op << position;
        EXPECT_EQ(op == Remove ? 0u : RDTYPE_FLOAT, RDFieldGetType(made));
        // Old fields keep their handles, found at their new positions;
        // a replaced or removed one is gone.
        for (uint32_t k = 0; k < 3; ++k) {
            const bool gone = op != Insert && k + 1 == position;
            EXPECT_EQ(gone ? 0u : RDTYPE_INT, RDFieldGetType(old[k]));
            if (gone) continue;
            Stream name(std::string(1, static_cast<char>('A' + k)), 256);
            uint32_t field = 0, at = 0;
            ASSERT_EQ(0u, RDFieldlistLookup(list, &name, &field, &at));
            EXPECT_EQ(old[k], field);
            EXPECT_EQ(expected.find(static_cast<char>('A' + k)) / 2 + 1, at);
        }
        fieldtest::ListState(list);
        RDFieldlistFree(list);
    }
}

TEST_F(FieldsTest, LayoutRefusals) {
    const uint32_t list = NewList();
    AppendAll(list, {"A", "B"});
    const std::string before = fieldtest::ListState(list);
    Stream n("N", 256), unset;
    uint32_t field = 7;
    const std::tuple<uint32_t, uint32_t> cases[] = {
        {RDFieldlistInsert(list, 0, &n, 1, &field), 12297},
        {RDFieldlistInsert(list, 4, &n, 1, &field), 12291},
        {RDFieldlistInsert(list, 1, nullptr, 1, &field), 12306},
        {RDFieldlistInsert(list, 1, &n, 8, &field), 12810},
        {RDFieldlistAppend(list, &n, 0, &field), 12810},
        {RDFieldlistAppend(list, &unset, 1, &field), 12300}, // a cleared name has no set
        {RDFieldlistAppend(list + 1, &n, 1, &field), 12307},
        {RDFieldlistReplace(list, 0, &n, 1, &field), 12297},
        {RDFieldlistReplace(list, 3, &n, 1, &field), 12291},
        {RDFieldlistReplace(list, 1, &n, 9, &field), 12810},
        {RDFieldlistRemove(list, 0), 12297},
        {RDFieldlistRemove(list, 3), 12291},
        {RDFieldlistRemove(list + 1, 1), 12307},
        {RDFieldlistSetName(list, 3, &n), 12291},
        {RDFieldlistSetName(list, 1, nullptr), 12306},
        {RDFieldlistLookup(list, nullptr, &field, nullptr), 12306},
        {RDFieldlistGetName(list, 1, 256, nullptr), 12808},
        {RDFieldlistGetField(list, 3, 256, &field, nullptr), 12291},
        {RDFieldlistGetField(list, 0, 256, &field, nullptr), 12297},
        {RDFieldlistFree(list + 1), 12307}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto &[status, expected] = cases[i];
        EXPECT_EQ(expected, status) << i;
    }
    EXPECT_EQ(0u, field);
    EXPECT_EQ(before, fieldtest::ListState(list));
    EXPECT_EQ(0u, RDFieldlistGetCount(list + 1));
    EXPECT_EQ(0u, RDFieldlistGetSequence(list + 1));
    EXPECT_EQ(0u, RDFieldlistGetNameLength(list + 1, 256));
}

// Append, insert and replace check the list, then the name, then the
// position, and clear the field handle out whichever refuses.
TEST_F(FieldsTest, NamedSlotChecksInOrder) {
    const uint32_t list = NewList();
    AppendAll(list, {"A"});
    Stream n("N", 256);
    using Call = std::function<uint32_t(uint32_t *)>;
    const std::pair<Call, uint32_t> cases[] = {
        {[&](uint32_t *f) { return RDFieldlistAppend(list + 1, nullptr, 1, f); }, 12307},
        {[&](uint32_t *f) { return RDFieldlistInsert(list + 1, 0, nullptr, 1, f); }, 12307},
        {[&](uint32_t *f) { return RDFieldlistReplace(list + 1, 0, nullptr, 1, f); }, 12307},
        {[&](uint32_t *f) { return RDFieldlistAppend(list, nullptr, 1, f); }, 12306},
        {[&](uint32_t *f) { return RDFieldlistInsert(list, 0, nullptr, 1, f); }, 12306},
        {[&](uint32_t *f) { return RDFieldlistReplace(list, 0, nullptr, 1, f); }, 12306},
        {[&](uint32_t *f) { return RDFieldlistReplace(list, 2, &n, 8, f); }, 12291}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        uint32_t field = 7;
        EXPECT_EQ(cases[i].second, cases[i].first(&field)) << i;
        EXPECT_EQ(0u, field) << i;
    }
    EXPECT_EQ(1u, RDFieldlistGetCount(list));
}

TEST_F(FieldsTest, NamesInSeveralCharacterSets) {
    const uint32_t list = NewList();
    AppendAll(list, {"caf\xC3\xA9", "b"}, RDTYPE_INT, 65001); // UTF-8: array 0
    EXPECT_EQ(6u, RDFieldlistGetNameLength(list, 65001));
    const rdx::NameBlock &names = *rdx::FindFieldlist(list)->nameBlock;
    ASSERT_EQ(1u, names.charsetCount);
    EXPECT_EQ(10u, RDFieldlistGetNameLength(list, RDCHARSET_UNICODE)); // added on demand
    EXPECT_EQ(10u, RDFieldlistGetNameLength(list, RDCHARSET_UNICODE)); // once
    EXPECT_EQ(2u, names.charsetCount);
    EXPECT_EQ(0u, RDFieldlistGetNameLength(list, 0));
    // A name given in a third set reaches every array.
    Stream latin("\xE9t\xE9", 1252);
    ASSERT_EQ(0u, RDFieldlistAppend(list, &latin, RDTYPE_INT, nullptr));
    EXPECT_EQ(3u, names.charsetCount);
    EXPECT_EQ("caf\xC3\xA9|b|\xC3\xA9t\xC3\xA9", NamesOf(list, 65001));
    EXPECT_EQ("caf\xE9|b|\xE9t\xE9", NamesOf(list, 1252));
    EXPECT_EQ(rdxtest::Wide(u"b"), [&] {
        Stream out;
        EXPECT_EQ(0u, RDFieldlistGetName(list, 2, RDCHARSET_UNICODE, &out));
        EXPECT_EQ(RDSTREAM_NOCASE, out.s.flags & RDSTREAM_CALLER_MASK);
        return out.Bytes();
    }());
    // Renaming changes every array.
    Stream renamed("\xC3\x9C", 65001);
    ASSERT_EQ(0u, RDFieldlistSetName(list, 2, &renamed));
    EXPECT_EQ("caf\xE9|\xDC|\xE9t\xE9", NamesOf(list, 1252));
    EXPECT_EQ(rdxtest::Wide(u"caf\u00e9\u00dc\u00e9t\u00e9").size(),
              RDFieldlistGetNameLength(list, RDCHARSET_UNICODE));
    // A failed lookup of the name clears the caller's stream.
    Stream out("kept", 256);
    EXPECT_EQ(12291u, RDFieldlistGetName(list, 4, 256, &out));
    EXPECT_EQ("", out.Bytes());
}

TEST_F(FieldsTest, LookupIgnoresCaseAsTheStreamComparisonDoes) {
    const uint32_t list = NewList();
    AppendAll(list, {"Amount", "NAME", "name"});
    const std::tuple<std::string, uint32_t> cases[] = {{"amount", 1}, {"AMOUNT", 1}, {"Name", 2},
                                                       {"name ", 0},  {"amoun", 0},  {"", 0}};
    for (const auto &[text, position] : cases) {
        Stream name(text, 256);
        uint32_t field = 9, at = 9;
        EXPECT_EQ(position != 0 ? 0u : 12809u, RDFieldlistLookup(list, &name, &field, &at));
        EXPECT_EQ(position, at) << text;
        EXPECT_EQ(position != 0, field != 0);
    }
    // Non-ASCII names in several sets: found exactly when the stream
    // comparison of list names calls them equal.
    const std::tuple<std::string, std::string, uint32_t> pairs[] = {
        {"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9", 65001},
        {"\xC3\xA9t\xC3\xA9", "\xC3\xA9T\xC3\xA9", 65001},
        {"\xC9T\xC9", "\xE9t\xE9", 1252},
        {"\xE9t\xE9", "\xE9T\xE9", 1252},
        {rdxtest::Wide(u"\u00c9T\u00c9"), rdxtest::Wide(u"\u00e9t\u00e9"), RDCHARSET_UNICODE},
        {rdxtest::Wide(u"stra\u00dfe"), rdxtest::Wide(u"STRA\u00dfE"), RDCHARSET_UNICODE},
        {rdxtest::Wide(u"abc"), rdxtest::Wide(u"abd"), RDCHARSET_UNICODE},
        {"\x01\x02", "\x01\x02", RDKIND_BINARY},
        // Eight bytes at a time: the neighbours of the letters never fold,
        // a non-ASCII byte falls back to single bytes.
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz", 256},
        {"Column_@[^0123", "column_`{~0123", 256},
        {"LongerName\xC9WithTail", "longername\xE9withtail", 1252},
        {"LongerName\xE9WithTail", "longername\xE9withtaiL", 1252},
        {"LongerName\xE9WithTail", "longername\xE9withtaiM", 1252}};
    for (const auto &[stored, asked, charset] : pairs) {
        const uint32_t other = NewList();
        AppendAll(other, {stored}, RDTYPE_INT, charset);
        Stream name(asked, charset);
        uint32_t at = 0;
        const uint32_t status = RDFieldlistLookup(other, &name, nullptr, &at);
        RDStream *listed = nullptr;
        ASSERT_EQ(0u, RDFieldlistGetField(other, 1, charset, nullptr, &listed));
        int32_t order = 5;
        ASSERT_EQ(0u, RDStreamDataCompare(listed, &name, &order));
        EXPECT_EQ(order == 0 && listed->length == name.s.length ? 0u : 12809u, status)
            << charset << " " << asked;
        RDFieldlistFree(other);
    }
    // Case-insensitive Unicode names are found.
    const uint32_t wide = NewList();
    AppendAll(wide, {rdxtest::Wide(u"\u00c9T\u00c9")}, RDTYPE_INT, RDCHARSET_UNICODE);
    Stream asked(rdxtest::Wide(u"\u00e9t\u00e9"), RDCHARSET_UNICODE);
    EXPECT_EQ(0u, RDFieldlistLookup(wide, &asked, nullptr, nullptr));
}

TEST_F(FieldsTest, ListingReportsEachSlotOnce) {
    const uint32_t list = NewList(1);
    const std::vector<uint32_t> handles = AppendAll(list, {"x", "y"}, RDTYPE_DATETIME);
    RDFieldSetFlags(handles[1], 0x2000);
    uint32_t field = 9, position = 9, type = 9, flags = 9;
    RDStream *name = nullptr;
    EXPECT_EQ(12314u, RDFieldlistList(list, &field, &position, &type, &flags, &name));
    EXPECT_EQ(12300u, RDFieldlistListSetup(list, 0));
    EXPECT_EQ(12314u, RDFieldlistList(list, &field, &position, &type, &flags, &name));
    ASSERT_EQ(0u, RDFieldlistListSetup(list, 256));
    for (uint32_t k = 0; k < 2; ++k) {
        ASSERT_EQ(0u, RDFieldlistList(list, &field, &position, &type, &flags, &name));
        EXPECT_EQ(handles[k], field);
        EXPECT_EQ(k + 1, position);
        EXPECT_EQ(RDTYPE_DATETIME, type);
        EXPECT_EQ(k == 0 ? 0u : 0x2000u, flags);
        EXPECT_EQ(std::string(1, static_cast<char>('x' + k)),
                  std::string(reinterpret_cast<char *>(name->data), name->length));
    }
    for (int again = 0; again < 2; ++again) {
        EXPECT_EQ(12290u, RDFieldlistList(list, &field, &position, &type, &flags, &name));
        EXPECT_TRUE(field == 0 && position == 0 && type == 0 && flags == 0 && name == nullptr);
    }
    uint32_t at = 0;
    RDStream *byPosition = nullptr;
    ASSERT_EQ(0u, RDFieldlistGetField(list, 2, 256, &at, &byPosition));
    EXPECT_EQ(handles[1], at);
    EXPECT_EQ('y', byPosition->data[0]);
}

TEST_F(FieldsTest, SequenceNumbersFollowLayoutChanges) {
    const uint32_t a = NewList(), b = NewList();
    const uint32_t first = RDFieldlistGetSequence(a);
    EXPECT_EQ(first, RDFieldlistGetSequence(a));
    EXPECT_EQ(first + 1, RDFieldlistGetSequence(b));
    const std::vector<uint32_t> fields = AppendAll(a, {"p", "q"});
    uint32_t last = RDFieldlistGetSequence(a);
    EXPECT_GT(last, first + 1);
    Stream n("r", 256);
    const std::function<uint32_t()> changes[] = {
        [&] { return RDFieldlistSetName(a, 1, &n); },
        [&] { return RDFieldSetFlags(fields[1], 0x100); },
        [&] { return RDFieldSetVirtualCode(fields[1], 3); },
        [&] { return RDFieldlistInsert(a, 1, &n, RDTYPE_INT, nullptr); },
        [&] { return RDFieldlistReplace(a, 1, &n, RDTYPE_INT, nullptr); },
        [&] { return RDFieldlistRemove(a, 1); }};
    for (const auto &change : changes) {
        ASSERT_EQ(0u, change());
        const uint32_t next = RDFieldlistGetSequence(a);
        EXPECT_GT(next, last);
        last = next;
        EXPECT_EQ(last, RDFieldlistGetSequence(a));
    }
    RDFieldSetFormatNumber(fields[1], 0, 0, 5, 0); // a format is not a layout change
    EXPECT_EQ(last, RDFieldlistGetSequence(a));
}

TEST_F(FieldsTest, NamesOnlyList) {
    const uint32_t list = NewList(0);
    uint32_t field = 9;
    Stream n("only", 256);
    ASSERT_EQ(0u, RDFieldlistAppend(list, &n, 0, &field)); // no field: no type
    EXPECT_EQ(0u, field);
    EXPECT_EQ(0u, RDFieldlistGetRecordCount(list));
    EXPECT_EQ(1u, RDFieldlistGetCount(list));
    uint32_t at = 0;
    field = 9;
    ASSERT_EQ(0u, RDFieldlistLookup(list, &n, &field, &at));
    EXPECT_TRUE(field == 0 && at == 1);
    ASSERT_EQ(0u, RDFieldlistInsert(list, 1, &n, RDTYPE_INT, &field));
    ASSERT_EQ(0u, RDFieldlistRemove(list, 2));
    EXPECT_EQ("only", NamesOf(list));
    uint32_t copy = 0;
    ASSERT_EQ(0u, RDFieldlistCopy(&copy, list));
    EXPECT_EQ("only", NamesOf(copy));
}

TEST_F(FieldsTest, NotSetUp) {
    const uint32_t list = NewList();
    RDSystemTerm();
    uint32_t out = 5;
    Stream n;
    EXPECT_EQ(12320u, RDFieldlistAlloc(&out, 1, 0));
    EXPECT_EQ(0u, out);
    EXPECT_EQ(12320u, RDFieldlistGetSequence(list));
    EXPECT_EQ(12320u, RDFieldlistGetRecordCount(list));
    EXPECT_EQ(12320u, RDFieldlistGetNameLength(list, 256));
    EXPECT_EQ(0u, RDFieldlistGetCount(list));
    EXPECT_EQ(12320u, RDFieldlistAppend(list, &n, 1, nullptr));
    EXPECT_EQ(12320u, RDFieldlistLookup(list, &n, nullptr, nullptr));
    EXPECT_EQ(12320u, RDFieldlistCopyRef(&out, list));
    EXPECT_EQ(12320u, RDFieldlistFree(list));
    ASSERT_EQ(0u, RDSystemInit());
}

} // namespace
