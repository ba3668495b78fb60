// Finding the table of a code: the three standard ones, or a chain entry
// opened at the first use of the code and kept until tear-down.
#include "activity/system_context.h"
#include "rdplat_mem.h"
#include "rdx_status.h"
#include "translate/translation.h"
#include "xcore.h"

namespace rdx {

uint32_t TableLookup(uint32_t code, xcore::Table **table) {
    *table = nullptr;
    TranslationContext &translation = Context()->translation;
    switch (code) {
    case RDCHARSET_INTERCHANGE:
        *table = translation.standard[kTableInterchange];
        break;
    case RDCHARSET_DEFAULT:
        *table = translation.standard[kTableNative];
        break;
    case RDCHARSET_UNICODE:
        *table = translation.standard[kTableUnicode];
        break;
    default: {
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
    }
    return *table != nullptr ? RDSTATUS_OK : RDSTATUS_NOTABLE;
}

} // namespace rdx
