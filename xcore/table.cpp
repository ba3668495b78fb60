// SPDX-License-Identifier: Apache-2.0
// Opening and closing tables, and what a table tells of its character set.
#include "xcore_table.h"

#include <cstdio>
#include <new>
#include <unicode/ucnv_cb.h>

namespace xcore {
namespace {

// The codes that are not code-page numbers, and the code page of US-ASCII.
constexpr uint32_t kCodeUnicode = 160, kCodeInterchange = 256, kCodeAscii = 9;
constexpr uint32_t kCodePageAscii = 20127;
constexpr uint32_t kKindBit = 0x40000000;

struct NamedCode {
    uint32_t code;
    const char *name;
};

// Codes whose ICU name is not simply "cp" or "windows-" and the number.
constexpr NamedCode kNames[] = {
    {kCodeUnicode, "UTF-16LE"}, {kCodeInterchange, "UTF-8"},
    {kCodeAscii, "US-ASCII"},   {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},         {12000, "UTF-32LE"},
    {12001, "UTF-32BE"},        {65001, "UTF-8"},
    {20127, "US-ASCII"},        {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},      {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},      {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},      {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},      {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"},     {28605, "ISO-8859-15"},
    {20866, "KOI8-R"},          {21866, "KOI8-U"},
    {932, "Shift_JIS"},         {936, "windows-936"},
    {949, "windows-949"},       {950, "windows-950"},
    {20932, "EUC-JP"},          {51949, "EUC-KR"},
    {54936, "GB18030"},
};

// Writes the converter's substitution for every character that the set
// cannot hold. ICU's standard substitution callback writes nothing for the
// default-ignorable ones (soft hyphen, U+200B, U+FEFF, ...), which would make
// them vanish unlike every other unmappable character.
void SubstituteEveryUnmappable(const void *, UConverterFromUnicodeArgs *args, const UChar *,
                               int32_t, UChar32, UConverterCallbackReason reason,
                               UErrorCode *status) {
    if (reason > UCNV_IRREGULAR) return; // reset, close or clone: nothing to write
    *status = U_ZERO_ERROR;
    ucnv_cbFromUWriteSub(args, 0, status);
}

uint32_t WithSubstitution(UConverter *converter) {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(converter, SubstituteEveryUnmappable, nullptr, nullptr, nullptr, &status);
    return U_SUCCESS(status) ? 0 : FailureOf(status);
}

// Opens ICU's converter for a code into *converter: 0, kNoMemory, or
// kFailed for a code that ICU does not know.
uint32_t OpenConverter(uint32_t code, UConverter **converter) {
    *converter = nullptr;
    UErrorCode status = U_ZERO_ERROR;
    for (const NamedCode &entry : kNames) {
        if (entry.code != code) continue;
        *converter = ucnv_open(entry.name, &status);
        if (U_SUCCESS(status)) return 0;
        ucnv_close(*converter);
        *converter = nullptr;
        return FailureOf(status);
    }
    // Any other code page: ICU knows most of them as "windows-N" or "cpN".
    for (const char *prefix : {"windows-", "cp", "ibm-"}) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%u", prefix, code);
        status = U_ZERO_ERROR;
        *converter = ucnv_open(name, &status);
        if (U_SUCCESS(status) && *converter != nullptr) return 0;
        ucnv_close(*converter);
        *converter = nullptr;
        if (status == U_MEMORY_ALLOCATION_ERROR) return kNoMemory;
    }
    return kFailed;
}

Form FormOf(UConverter *converter) {
    switch (ucnv_getType(converter)) {
    case UCNV_UTF8:
        return Form::Utf8;
    case UCNV_UTF16_LittleEndian:
        return Form::Utf16Le;
    default:
        return Form::Other;
    }
}

// The table of an opened converter; the converter is the table's even when
// this fails.
uint32_t NewTable(Table **table, UConverter *converter, const char *language, uint32_t code) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter *prototype = ucnv_clone(converter, &status);
    if (U_FAILURE(status)) {
        ucnv_close(prototype);
        ucnv_close(converter);
        return FailureOf(status);
    }
    auto *opened = new (std::nothrow) Table;
    if (opened == nullptr) {
        ucnv_close(prototype);
        ucnv_close(converter);
        return kNoMemory;
    }
    opened->code = code;
    opened->converter = converter;
    opened->prototype = prototype;
    opened->form = FormOf(converter);
    opened->terminator = static_cast<uint32_t>(ucnv_getMinCharSize(converter));
    opened->maxCharSize = static_cast<uint32_t>(ucnv_getMaxCharSize(converter));
    try {
        if (language != nullptr) opened->locale = language;
    } catch (const std::bad_alloc &) {
        CloseTable(opened);
        return kNoMemory;
    }
    *table = opened;
    return 0;
}

} // namespace

uint32_t OpenTable(Table **table, const int32_t *country, const char *language, uint32_t code) {
    (void)country; // collation follows the language alone
    if (table == nullptr) return kFailed;
    *table = nullptr;
    if (code == 0 || (code & kKindBit) != 0) return kFailed;
    UConverter *converter = nullptr;
    uint32_t status = OpenConverter(code, &converter);
    if (status == 0) status = WithSubstitution(converter);
    if (status != 0) {
        ucnv_close(converter);
        return status;
    }
    return NewTable(table, converter, language, code);
}

void CloseTable(Table *table) {
    if (table == nullptr) return;
    for (std::atomic<UCollator *> &collator : table->collators)
        if (UCollator *opened = collator.load(std::memory_order_acquire)) ucol_close(opened);
    ucnv_close(table->converter);
    ucnv_close(table->prototype);
    delete table;
}

ConverterUse::ConverterUse(Table &table)
    : table_(table), converter_(table.converter), clone_(false) {
    if (!table.converterLent.exchange(true, std::memory_order_acquire)) return;
    clone_ = true;
    UErrorCode status = U_ZERO_ERROR;
    converter_ = ucnv_clone(table.prototype, &status);
    if (U_FAILURE(status)) {
        ucnv_close(converter_);
        converter_ = nullptr;
        status_ = FailureOf(status);
    }
}

ConverterUse::~ConverterUse() {
    if (clone_)
        ucnv_close(converter_);
    else
        table_.converterLent.store(false, std::memory_order_release);
}

uint32_t CodeFromCodePage(uint32_t *code, const uint32_t *codePage) {
    if (code == nullptr || codePage == nullptr || *codePage == 0) return 1;
    *code = *codePage == kCodePageAscii ? kCodeAscii : *codePage;
    return 0;
}

bool IsUtf8(const Table *table) {
    return table != nullptr && table->form == Form::Utf8;
}

uint32_t TerminatorSize(const Table *table, uint32_t *size) {
    if (table == nullptr || size == nullptr) return 1;
    *size = table->terminator;
    return 0;
}

uint32_t TextLength(const Table *table, const void *text, uint32_t *length) {
    if (table == nullptr || text == nullptr || length == nullptr) return 1;
    const auto *bytes = static_cast<const unsigned char *>(text);
    const uint32_t unit = table->terminator;
    for (uint64_t at = 0; at <= UINT32_MAX - unit; at += unit) {
        bool zero = true;
        for (uint32_t i = 0; i < unit && zero; ++i)
            zero = bytes[at + i] == 0;
        if (zero) {
            *length = static_cast<uint32_t>(at + unit);
            return 0;
        }
    }
    return 1;
}

} // namespace xcore
