// SPDX-License-Identifier: Apache-2.0
// Handles issued in increasing order (1, 2, ...; never reused within one
// set-up) mapped to the records behind them by direct index: pages of
// 1024 entries under a directory indexed by handle / 1024. A page is freed
// once every handle of it has been issued and released, so a long run
// keeps only the pages of live records.
//
// An unknown handle finds the table's absent record (a sentinel of the
// owner's, or null): entries not in use hold it, and directory entries
// without a page of their own point at a blank page full of it, so a
// look-up tests only the directory bound.
//
// A zero-filled table is empty and issues nothing; HandleTableStart makes
// it issue 1 next. Registration never fails: HandleTableReserve obtains
// beforehand the pages of the handles an operation is about to issue.
#pragma once

#include <cstdint>

namespace rdx {

constexpr uint32_t kHandlePageBits = 10;
constexpr uint32_t kHandlePageSize = 1u << kHandlePageBits;

struct HandlePage {
    uint32_t live; // entries in use
    void *records[kHandlePageSize];
};

struct HandleTable {
    uint32_t next;      // the next handle to issue; 0 when not started
    uint32_t pageCount; // directory entries
    HandlePage **pages; // by handle >> kHandlePageBits; blank when not needed
    HandlePage *blank;  // the owner's page of absent entries
    void *absent;       // what unknown handles find
};

// The record of handle, or absent (which must be the table's own absent
// record, or any value while the table is not started).
inline void *HandleTableFind(const HandleTable &table, uint32_t handle, void *absent) {
    const uint32_t page = handle >> kHandlePageBits;
    if (page >= table.pageCount) return absent;
    return table.pages[page]->records[handle & (kHandlePageSize - 1)];
}

// Makes the table issue 1 next; unknown handles find absent. blank is a
// page that stays with the owner while the table is started.
void HandleTableStart(HandleTable &table, HandlePage *blank, void *absent);
// Frees every page and the directory; the table issues nothing any more.
void HandleTableStop(HandleTable &table);
// Makes sure the next count handles can be registered: 0 or 258.
uint32_t HandleTableReserveSlow(HandleTable &table, uint32_t count);
inline uint32_t HandleTableReserve(HandleTable &table, uint32_t count) {
    // The frequent case: the handles fall in the page already issuing.
    const uint32_t page = table.next >> kHandlePageBits;
    const uint64_t last = uint64_t{table.next} + count;
    if (count != 0 && (last >> kHandlePageBits) == page && page < table.pageCount &&
        table.pages[page] != table.blank)
        return 0;
    return HandleTableReserveSlow(table, count);
}
// Issues the next handle for record; the handle must have been reserved.
uint32_t HandleTableRegister(HandleTable &table, void *record);
// Points a live handle at the record's new place after a move.
inline void HandleTableMove(HandleTable &table, uint32_t handle, void *record) {
    table.pages[handle >> kHandlePageBits]->records[handle & (kHandlePageSize - 1)] = record;
}
// Forgets a live handle.
void HandleTableRelease(HandleTable &table, uint32_t handle);

} // namespace rdx
