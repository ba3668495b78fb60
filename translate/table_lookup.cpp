// SPDX-License-Identifier: Apache-2.0
// Finding the table of a code other than the three standard ones: a chain
// entry opened at the first use of the code and kept until tear-down.
//
// Threads may look codes up at once. A lookup that finds its entry takes no
// lock: entries are appended, never removed while the layer is set up, and
// each link is published with a release store after the entry behind it is
// complete. Opening a table and appending its entry happen under one lock,
// after a second search, so that a code is opened once however many threads
// miss it together.
#include "activity/system_context.h"
#include "rdplat_mem.h"
#include "rdx_status.h"
#include "translate/translation.h"
#include "xcore.h"

#include <atomic>
#include <mutex>

namespace rdx {
namespace {

std::mutex g_chainGrowth;

TranslationTable *Load(TranslationTable *&link) {
    return std::atomic_ref<TranslationTable *>(link).load(std::memory_order_acquire);
}

// The entry of code in the chain starting at *head, or null; *last receives
// the link that a new entry would be stored in.
TranslationTable *Find(TranslationTable **head, uint32_t code, TranslationTable ***last) {
    TranslationTable **link = head;
    for (TranslationTable *entry = Load(*link); entry != nullptr; entry = Load(*link)) {
        if (entry->code == code) return entry;
        link = &entry->next;
    }
    *last = link;
    return nullptr;
}

// Opens code's table and appends its entry at *link: 0, 258 or 12305.
uint32_t Append(TranslationTable **link, uint32_t code, TranslationContext &translation,
                xcore::Table **table) {
    xcore::Table *opened = nullptr;
    if (uint32_t failure =
            xcore::OpenTable(&opened, &translation.country, translation.language, code);
        failure != 0)
        return TableFailure(failure);
    auto *entry = static_cast<TranslationTable *>(RDMemAlloc(sizeof(TranslationTable)));
    if (entry == nullptr) {
        xcore::CloseTable(opened);
        return RDSTATUS_NOMEMORY;
    }
    *entry = TranslationTable{code, opened, nullptr};
    std::atomic_ref<TranslationTable *>(*link).store(entry, std::memory_order_release);
    *table = opened;
    return RDSTATUS_OK;
}

} // namespace

uint32_t ChainTableLookup(uint32_t code, xcore::Table **table) {
    *table = nullptr;
    TranslationContext &translation = Context()->translation;
    TranslationTable **head = &translation.chains[code % kTranslationChains];
    TranslationTable **last = nullptr;
    if (const TranslationTable *entry = Find(head, code, &last)) {
        *table = entry->handle;
        return RDSTATUS_OK;
    }
    std::lock_guard<std::mutex> lock(g_chainGrowth);
    if (const TranslationTable *entry = Find(last, code, &last)) {
        *table = entry->handle; // another thread opened it meanwhile
        return RDSTATUS_OK;
    }
    return Append(last, code, translation, table);
}

} // namespace rdx
