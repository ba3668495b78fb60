// SPDX-License-Identifier: Apache-2.0
// The handle table's pages and directory.
#include "fields/handle_table.h"

#include "rdplat_mem.h"
#include "rdx_status.h"

#include <cstdint>

namespace rdx {

namespace {

// Pages a table has room for at most: handles are 32-bit.
constexpr uint64_t kMaxPages = (uint64_t{1} << 32) >> kHandlePageBits;

uint32_t GrowDirectory(HandleTable &table, uint32_t pages) {
    if (pages <= table.pageCount) return RDSTATUS_OK;
    uint64_t size = table.pageCount == 0 ? 16 : uint64_t{table.pageCount} * 2;
    while (size < pages)
        size *= 2;
    if (size > kMaxPages) size = kMaxPages;
    const uint64_t bytes = size * sizeof(HandlePage *);
    void *grown = table.pages == nullptr
                      ? RDMemCalloc(static_cast<int32_t>(bytes))
                      : RDMemRealloc(table.pages, table.pageCount * sizeof(HandlePage *),
                                     static_cast<uint32_t>(bytes));
    if (grown == nullptr) return RDSTATUS_NOMEMORY;
    table.pages = static_cast<HandlePage **>(grown);
    for (uint32_t i = table.pageCount; i < size; ++i)
        table.pages[i] = table.blank;
    table.pageCount = static_cast<uint32_t>(size);
    return RDSTATUS_OK;
}

void FillPage(HandlePage &page, void *absent) {
    page.live = 0;
    for (void *&record : page.records)
        record = absent;
}

} // namespace

void HandleTableStart(HandleTable &table, HandlePage *blank, void *absent) {
    FillPage(*blank, absent);
    table = HandleTable{1, 0, nullptr, blank, absent};
}

void HandleTableStop(HandleTable &table) {
    for (uint32_t i = 0; i < table.pageCount; ++i) {
        if (table.pages[i] != table.blank) RDMemFree(table.pages[i]);
    }
    RDMemFree(table.pages);
    table = HandleTable{};
}

uint32_t HandleTableReserveSlow(HandleTable &table, uint32_t count) {
    if (count == 0) return RDSTATUS_OK;
    const uint64_t last = uint64_t{table.next} + count - 1;
    if (last > UINT32_MAX) return RDSTATUS_NOMEMORY;
    const uint32_t first = table.next >> kHandlePageBits;
    const uint32_t end = static_cast<uint32_t>(last >> kHandlePageBits) + 1;
    if (uint32_t status = GrowDirectory(table, end); status != RDSTATUS_OK) return status;
    for (uint32_t page = first; page < end; ++page) {
        if (table.pages[page] != table.blank) continue;
        auto *made = static_cast<HandlePage *>(RDMemAlloc(sizeof(HandlePage)));
        if (made == nullptr) return RDSTATUS_NOMEMORY; // earlier pages stay reserved
        FillPage(*made, table.absent);
        table.pages[page] = made;
    }
    return RDSTATUS_OK;
}

uint32_t HandleTableRegister(HandleTable &table, void *record) {
    const uint32_t handle = table.next++;
    HandlePage *page = table.pages[handle >> kHandlePageBits];
    page->records[handle & (kHandlePageSize - 1)] = record;
    ++page->live;
    return handle;
}

void HandleTableRelease(HandleTable &table, uint32_t handle) {
    const uint32_t index = handle >> kHandlePageBits;
    HandlePage *page = table.pages[index];
    page->records[handle & (kHandlePageSize - 1)] = table.absent;
    // A page whose handles have all been issued and released is of no
    // further use; pages still issuing stay.
    const uint64_t pageEnd = (uint64_t{index} + 1) << kHandlePageBits;
    if (--page->live == 0 && pageEnd <= table.next) {
        RDMemFree(page);
        table.pages[index] = table.blank;
    }
}

} // namespace rdx
