// Finding the table of a code other than the three standard ones: a chain
// entry opened at the first use of the code and kept until tear-down.
#include "activity/system_context.h"
#include "rdplat_mem.h"
#include "rdx_status.h"
#include "translate/translation.h"
#include "xcore.h"

namespace rdx {

uint32_t ChainTableLookup(uint32_t code, xcore::Table **table) {
    *table = nullptr;
    TranslationContext &translation = Context()->translation;
    TranslationTable **link = &translation.chains[code % kTranslationChains];
    for (; *link != nullptr; link = &(*link)->next) {
        if ((*link)->code == code) {
            *table = (*link)->handle;
            return RDSTATUS_OK;
        }
    }
    xcore::Table *opened = nullptr;
    if (xcore::OpenTable(&opened, &translation.country, translation.language, code) != 0)
        return RDSTATUS_NOTABLE;
    auto *entry = static_cast<TranslationTable *>(RDMemAlloc(sizeof(TranslationTable)));
    if (entry == nullptr) {
        xcore::CloseTable(opened);
        return RDSTATUS_NOMEMORY;
    }
    *entry = TranslationTable{code, opened, nullptr};
    *link = entry;
    *table = opened;
    return RDSTATUS_OK;
}

} // namespace rdx
