// SPDX-License-Identifier: Apache-2.0
// Set-up and tear-down of the field and field-list registries.
#include "fields/field_internal.h"
#include "fields/fieldlist_internal.h"
#include "rdplat_mem.h"

namespace rdx {

bool g_fieldsReady = false;
FieldsContext g_fields;
Field g_noField;

namespace {

// The blank pages of the two tables.
HandlePage blankFields, blankLists;

// Frees every live record of a table, in handle order.
template <typename Free> void FreeEvery(HandleTable &table, Free free) {
    for (uint32_t page = 0; page < table.pageCount; ++page) {
        for (uint32_t i = 0; i < kHandlePageSize; ++i) {
            // A free may release the page itself: look it up afresh.
            const HandlePage *p = table.pages[page];
            if (p == table.blank) break;
            if (p->records[i] != table.absent) free((page << kHandlePageBits) | i);
        }
    }
}

} // namespace

uint32_t FieldsSetUp() {
    if (Context() == nullptr || g_fieldsReady) return RDSTATUS_NOTREADY;
    FieldsContext &fields = Fields();
    HandleTableStart(fields.fieldTable, &blankFields, &g_noField);
    HandleTableStart(fields.fieldlistTable, &blankLists, nullptr);
    fields.nextSequence = 1;
    g_fieldsReady = true;
    return RDSTATUS_OK;
}

void FieldsTearDown() {
    if (Context() == nullptr || !g_fieldsReady) return;
    FieldsContext &fields = Fields();
    // Lists first: freeing the last list of a field block releases its
    // fields, so that afterwards only free-standing fields remain.
    FreeEvery(fields.fieldlistTable, RDFieldlistFree);
    FreeEvery(fields.fieldTable, RDFieldFree);
    HandleTableStop(fields.fieldTable);
    HandleTableStop(fields.fieldlistTable);
    fields.nextSequence = 0;
    g_fieldsReady = false;
}

} // namespace rdx
