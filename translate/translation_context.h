// SPDX-License-Identifier: Apache-2.0
// The translation layer's part of the system context.
#pragma once

#include <cstdint>

namespace xcore {
struct Table;
}

namespace rdx {

// A loaded table of a code other than the three standard ones.
struct TranslationTable {
    uint32_t code;
    xcore::Table *handle;
    TranslationTable *next;
};

constexpr uint32_t kTranslationChains = 16;
constexpr uint32_t kLanguageSize = 32;

// Indexes of the standard tables.
enum StandardTable : uint32_t { kTableInterchange = 0, kTableNative = 1, kTableUnicode = 2 };

struct TranslationContext {
    int32_t country;                              // dialling code of the locale's territory
    char language[kLanguageSize];                 // ISO 639 code of the locale's language
    xcore::Table *standard[3];                    // 256, 65535 (the native set), 160
    uint32_t textFormat;                          // the native character-set code
    bool nativeUtf8;                              // the native set is UTF-8
    uint32_t translationMode;                     // 0, 1 or 2
    TranslationTable *chains[kTranslationChains]; // by code modulo 16
    uint8_t *emptyData; // the shared data of every empty stream while set up
};

} // namespace rdx
