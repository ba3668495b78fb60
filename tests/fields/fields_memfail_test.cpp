// SPDX-License-Identifier: Apache-2.0
// Every allocation of the field and list operations made to fail in turn:
// each failure leaves the list and its fields exactly as they were and
// issues no handle; nothing leaks (LeakSanitizer checks at exit).
#include "field_test_env.h"

namespace {

using fieldtest::AppendAll;
using fieldtest::FieldsTest;
using fieldtest::ListState;
using rdxtest::ForEachAllocationFailure;
using rdxtest::Stream;

class FieldsMemFail : public FieldsTest {
  protected:
    // A full list (20 slots, the next append grows it) of truncating text
    // fields with values, with names in two character sets.
    uint32_t FullList() {
        uint32_t list = 0;
        EXPECT_EQ(0u, RDFieldlistAlloc(&list, 3, RDFIELD_TRUNCATE));
        std::vector<std::string> names;
        for (int i = 0; i < 20; ++i)
            names.push_back("name" + std::to_string(i) + "\xE9");
        const std::vector<uint32_t> fields = AppendAll(list, names, RDTYPE_TEXT, 1252);
        for (uint32_t k = 0; k < fields.size(); k += 3) {
            void *value = nullptr;
            EXPECT_EQ(0u, RDFieldGetBuffer(fields[k], 2, &value, nullptr));
            EXPECT_EQ(0u, RDStreamDataSet(static_cast<RDStream *>(value), 256, "value", 5));
            RDFieldSetNull(fields[k], 2, 0);
        }
        EXPECT_EQ(260u, RDFieldlistGetNameLength(list, RDCHARSET_UNICODE)); // 130 characters
        return list;
    }

    // Runs op with every allocation failing in turn; returns the number of
    // failed runs.
    int AllOrNothing(uint32_t list, const std::function<uint32_t()> &op) {
        const std::string before = ListState(list);
        const rdx::FieldsContext &fields = rdx::Fields();
        const uint32_t nextField = fields.fieldTable.next, nextList = fields.fieldlistTable.next;
        return ForEachAllocationFailure(op, [&](uint32_t status) {
            EXPECT_EQ(258u, status);
            EXPECT_EQ(before, ListState(list));
            EXPECT_EQ(nextField, fields.fieldTable.next); // no handle issued
            EXPECT_EQ(nextList, fields.fieldlistTable.next);
        });
    }
};

TEST_F(FieldsMemFail, LayoutChanges) {
    Stream wide(rdxtest::Wide(u"n\u00e9w"), RDCHARSET_UNICODE), utf8("n\xC3\xA9w", 65001);
    // Each change also brings a name array of a set not seen before.
    const std::function<uint32_t(uint32_t)> changes[] = {
        [&](uint32_t l) { return RDFieldlistAppend(l, &utf8, RDTYPE_TEXT, nullptr); },
        [&](uint32_t l) { return RDFieldlistInsert(l, 1, &utf8, RDTYPE_NUMERIC, nullptr); },
        [&](uint32_t l) { return RDFieldlistInsert(l, 11, &wide, RDTYPE_TEXT, nullptr); },
        [&](uint32_t l) { return RDFieldlistReplace(l, 20, &utf8, RDTYPE_BINARY, nullptr); },
        [&](uint32_t l) { return RDFieldlistSetName(l, 10, &wide); },
        [&](uint32_t l) { return RDFieldlistListSetup(l, 65001); },
        [&](uint32_t l) {
            const uint32_t status = RDFieldlistLookup(l, &utf8, nullptr, nullptr);
            return status == 12809 ? 0 : status;
        },
        [&](uint32_t l) {
            Stream out;
            return RDFieldlistGetName(l, 3, 65001, &out);
        },
        [&](uint32_t l) { return RDFieldlistGetNameLength(l, 65001) == 150 ? 0u : 258u; },
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        const uint32_t list = FullList();
        EXPECT_GE(AllOrNothing(list, [&] { return changes[i](list); }), 1) << i;
        RDFieldlistFree(list);
    }
}

TEST_F(FieldsMemFail, Copies) {
    const uint32_t list = FullList();
    uint32_t copy = 0;
    EXPECT_GE(AllOrNothing(list,
                           [&] {
                               uint32_t status = RDFieldlistCopy(&copy, list);
                               EXPECT_EQ(status == 0, copy != 0);
                               return status;
                           }),
              20); // at least one allocation per field
    EXPECT_EQ(ListState(list).size(), ListState(copy).size());
    uint32_t shared = 0;
    EXPECT_GE(AllOrNothing(list,
                           [&] {
                               uint32_t status = RDFieldlistCopyRef(&shared, list);
                               EXPECT_EQ(status == 0, shared != 0);
                               return status;
                           }),
              3);
}

TEST_F(FieldsMemFail, FieldsAndEmptyLists) {
    uint32_t handle = 0;
    EXPECT_GE(AllOrNothing(0,
                           [&] {
                               uint32_t status = RDFieldAlloc(&handle, RDTYPE_NUMERIC, 10);
                               EXPECT_EQ(status == 0, handle != 0);
                               return status;
                           }),
              2);
    EXPECT_GE(AllOrNothing(0,
                           [&] {
                               uint32_t status = RDFieldlistAlloc(&handle, 10, 0);
                               EXPECT_EQ(status == 0, handle != 0);
                               return status;
                           }),
              4);
    // Values with storage of their own (fixed length) are made aside.
    uint32_t text = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&text, RDTYPE_TEXT, 4));
    RDFieldSetNull(text, 1, 0);
    const std::string before = fieldtest::FieldState(*rdx::FindField(text));
    EXPECT_EQ(5, ForEachAllocationFailure(
                     [&] { return RDFieldSetFormatStream(text, RDSTREAM_FIXED, 8, 256); },
                     [&](uint32_t status) {
                         EXPECT_EQ(258u, status);
                         EXPECT_EQ(before, fieldtest::FieldState(*rdx::FindField(text)));
                     }));
}

} // namespace
