// SPDX-License-Identifier: Apache-2.0
// Setting the translation layer up and tearing it down with the system
// context.
#include "activity/system_context.h"
#include "rdplat_ini.h"
#include "rdplat_intl.h"
#include "rdplat_mem.h"
#include "rdx_status.h"
#include "translate/translation.h"
#include "xcore.h"

#include <algorithm>
#include <cstring>

namespace rdx {

bool g_translationReady = false;

namespace {

// The Translation key as a decimal number: leading digits, 0 when there are
// none; a value too large for 32 bits saturates (and is then ignored).
uint32_t ParseMode(const char *text) {
    while (*text == ' ' || *text == '\t')
        ++text;
    uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(*text - '0'), UINT32_MAX);
    return static_cast<uint32_t>(value);
}

// The Translation setting into *mode; 2 when it cannot be read. A read that
// failed for lack of memory says nothing of the setting: 258.
uint32_t ConfiguredMode(uint32_t *mode) {
    char value[RDINI_LINE_MAX + 1] = {};
    const uint32_t status = RDINIGetString("Configuration", "Translation", value, "quarry.ini");
    if (status == RDSTATUS_NOMEMORY) return status;
    *mode = status == RDSTATUS_OK ? ParseMode(value) : 2;
    return RDSTATUS_OK;
}

void CloseChains(TranslationContext &translation) {
    for (TranslationTable *&head : translation.chains) {
        while (head != nullptr) {
            TranslationTable *next = head->next;
            xcore::CloseTable(head->handle);
            RDMemFree(head);
            head = next;
        }
    }
}

void CloseStandardTables(TranslationContext &translation) {
    for (xcore::Table *&table : translation.standard) {
        xcore::CloseTable(table);
        table = nullptr;
    }
}

} // namespace

// The data of every empty stream: two zero words, the data at the second.
// It lives as long as the process, so a stream emptied before a shutdown and
// restart of the system is still recognised as empty and never freed.
static uint8_t *EmptyDataBlock() {
    static uint32_t words[2];
    words[0] = words[1] = 0;
    return reinterpret_cast<uint8_t *>(&words[1]);
}

uint32_t TranslationSetUp() {
    SystemContext *context = Context();
    if (context == nullptr || g_translationReady) return RDSTATUS_NOTREADY;
    g_translationReady = true;
    uint32_t mode = 2;
    if (uint32_t status = ConfiguredMode(&mode); status != RDSTATUS_OK) return status;
    SetTranslationMode(mode);
    TranslationContext &translation = context->translation;
    translation.emptyData = EmptyDataBlock();
    for (TranslationTable *&head : translation.chains)
        head = nullptr;
    return StandardTablesLoad();
}

uint32_t StandardTablesLoad() {
    TranslationContext &translation = Context()->translation;
    if (translation.standard[kTableInterchange] != nullptr) return RDSTATUS_OK;
    uint32_t codePage = 0;
    char language[8] = {};
    RDCharInfo(&codePage, &translation.country, language);
    std::memcpy(translation.language, language, sizeof language);
    uint32_t native = 0;
    if (xcore::CodeFromCodePage(&native, &codePage) != 0) return RDSTATUS_NOTRANSLATION;
    const uint32_t codes[3] = {RDCHARSET_INTERCHANGE, native, RDCHARSET_UNICODE};
    xcore::Table *opened[3] = {};
    for (int i = 0; i < 3; ++i) {
        const uint32_t failure =
            xcore::OpenTable(&opened[i], &translation.country, translation.language, codes[i]);
        if (failure != 0) {
            for (xcore::Table *table : opened)
                xcore::CloseTable(table);
            return failure == xcore::kNoMemory ? RDSTATUS_NOMEMORY : RDSTATUS_NOTRANSLATION;
        }
    }
    std::memcpy(translation.standard, opened, sizeof opened);
    translation.textFormat = native;
    translation.nativeUtf8 = xcore::IsUtf8(opened[kTableNative]);
    return RDSTATUS_OK;
}

void TranslationTearDown() {
    if (!g_translationReady) return;
    TranslationContext &translation = Context()->translation;
    CloseChains(translation);
    CloseStandardTables(translation);
    translation.textFormat = 0;
    translation.nativeUtf8 = false;
    translation.translationMode = 0;
    translation.emptyData = nullptr;
    translation.country = 0;
    std::memset(translation.language, 0, sizeof translation.language);
    g_translationReady = false;
}

} // namespace rdx
