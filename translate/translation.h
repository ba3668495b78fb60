// SPDX-License-Identifier: Apache-2.0
// The character-set translation layer: set-up and tear-down inside the
// system context, table look-up, text translation and the conversion of
// streams between character sets and kinds.
#pragma once

#include "activity/system_context.h"
#include "rdx_status.h"
#include "rdx_stream.h"
#include "xcore.h"

#include <cstdint>

namespace rdx {

// 1 while the layer is set up.
extern bool g_translationReady;

inline bool TranslationReady() {
    return g_translationReady;
}

inline bool IsKind(uint32_t code) {
    return (code & RDKIND_FLAG) != 0;
}

// The status of a failed xcore call: 258 when memory ran short, else 12305.
inline uint32_t TableFailure(uint32_t failure) {
    return failure == xcore::kNoMemory ? RDSTATUS_NOMEMORY : RDSTATUS_NOTABLE;
}

// Called by RDSystemInit: 0, 258, 1549 or 12320.
uint32_t TranslationSetUp();
// Called by RDSystemTerm; nothing happens when the layer is not set up.
void TranslationTearDown();
// Opens the tables of 256, the native set and 160 unless loaded: 0, 258 or
// 1549.
uint32_t StandardTablesLoad();
// The table of a code other than the three standard ones, opened at first
// use: 0, 258 or 12305.
uint32_t ChainTableLookup(uint32_t code, xcore::Table **table);

// The table of a code, opened at first use: 0, 258 or 12305. The standard
// tables are looked up inline, as nearly every translation involves them.
inline uint32_t TableLookup(uint32_t code, xcore::Table **table) {
    xcore::Table *const *standard = Context()->translation.standard;
    switch (code) {
    case RDCHARSET_INTERCHANGE:
        *table = standard[kTableInterchange];
        break;
    case RDCHARSET_DEFAULT:
        *table = standard[kTableNative];
        break;
    case RDCHARSET_UNICODE:
        *table = standard[kTableUnicode];
        break;
    default:
        return ChainTableLookup(code, table);
    }
    return *table != nullptr ? RDSTATUS_OK : RDSTATUS_NOTABLE;
}

// The tables of a pair of codes, the standard tables loaded first: 0,
// 258, 1549 or 12305.
inline uint32_t TextTables(uint32_t sc, uint32_t dc, xcore::Table **from, xcore::Table **to) {
    if (Context()->translation.standard[kTableInterchange] == nullptr) {
        if (uint32_t status = StandardTablesLoad(); status != RDSTATUS_OK) return status;
    }
    if (uint32_t status = TableLookup(sc, from); status != RDSTATUS_OK) return status;
    return TableLookup(dc, to);
}

// True when the text of a code is UTF-8: 256 always, the native set as
// found at set-up, any other code by its table (false when it has none).
bool ChainCodeIsUtf8(uint32_t code);
inline bool CodeIsUtf8(uint32_t code) {
    const TranslationContext &translation = Context()->translation;
    if (code == RDCHARSET_INTERCHANGE) return true;
    if (code == translation.textFormat && code != 0) return translation.nativeUtf8;
    return ChainCodeIsUtf8(code);
}

// Length in bytes of a terminated text of code, terminator not counted; 0
// on any failure.
uint32_t TextByteLength(const void *text, uint32_t code);

// Translates sourceLength bytes of sc into dc. With *buffer null the output
// is allocated (freed with xcore::FreeOutput) and stored in *buffer;
// otherwise *buffer holds *length bytes plus room for the terminator.
// *length receives the output length without its terminator. Returns 0,
// 12305, 12801 (the output did not fit the caller's buffer), 258 or 1549.
uint32_t TextTranslate(const void *source, uint32_t sourceLength, uint32_t sc, void **buffer,
                       uint32_t *length, uint32_t dc);

// The code the Translation setting honours for one code.
inline uint32_t EffectiveCharset(uint32_t code, uint32_t options,
                                 const TranslationContext &translation) {
    if (IsKind(code) || code == RDCHARSET_UNICODE) return code;
    const uint32_t native = translation.textFormat;
    if (code == RDCHARSET_DEFAULT) return native;
    if ((options & RDCONVERT_LITERAL) != 0) return code;
    switch (translation.translationMode) {
    case 0:
        return native;
    case 1:
        return code == RDCHARSET_INTERCHANGE ? code : native;
    default:
        return code;
    }
}

// Replaces the two codes by the ones the Translation setting honours.
inline void EffectiveCharsets(uint32_t options, uint32_t *sc, uint32_t *dc) {
    constexpr uint32_t kCodeAscii = 9;
    if (*sc == kCodeAscii && *dc == RDCHARSET_INTERCHANGE) {
        *sc = RDCHARSET_INTERCHANGE; // 7-bit text is already interchange text
        return;
    }
    const TranslationContext &translation = Context()->translation;
    *sc = EffectiveCharset(*sc, options, translation);
    *dc = EffectiveCharset(*dc, options, translation);
}

// True when text of code sc reads in code dc as it is, but for ill-formed
// parts that a translation would replace by U+FFFD: the two codes, as the
// Translation setting honours them, are one code or both UTF-8 (256, 65001
// and a UTF-8 native set). Readers that accept ASCII characters only may
// then read the bytes in place, as U+FFFD stops them like the ill-formed
// bytes it replaces.
inline bool SameUtf8Text(uint32_t sc, uint32_t dc) {
    if (!TranslationReady() || IsKind(sc) || IsKind(dc)) return false;
    EffectiveCharsets(0, &sc, &dc);
    return sc == dc || (CodeIsUtf8(sc) && CodeIsUtf8(dc));
}

// Builds destination from source in character set or kind dc. The
// destination holds no private storage on entry.
uint32_t StreamTranslate(const RDStream *source, uint32_t dc, RDStream *destination,
                         uint32_t options);

// StreamTranslate's conversions involving rich text and value lists.
uint32_t KindConvert(const RDStream *source, uint32_t dc, RDStream *destination, uint32_t options);

// The kind conversions, each into a destination without private storage.
uint32_t RichTextToText(const RDStream &richText, RDStream *text);
uint32_t TextListToText(const RDStream &list, RDStream *text);
uint32_t TextToTextList(const RDStream &text, RDStream *list);

} // namespace rdx
