// SPDX-License-Identifier: Apache-2.0
// xcore: the character-set library of the translation layer, over ICU.
//
// A table stands for one character-set code: 160 is UTF-16LE, 256 UTF-8,
// 9 US-ASCII, and every other code a code-page number with an ICU
// converter. A table owns its converter, opened once, and its collators,
// opened at their first use. Every function that returns a status returns
// 0 on success, kNoMemory when memory ran short (ICU's or the C++ heap:
// nothing throws out of xcore) and kFailed on any other failure.
//
// Threads: translations and collations may run on one table from several
// threads at once (a translation that finds the table's converter in use
// works with a clone of it; collators are opened once, under a lock).
// Opening and closing a table are the caller's to serialise.
#pragma once

#include <cstdint>

namespace xcore {

struct Table;

constexpr uint32_t kFailed = 1;
constexpr uint32_t kNoMemory = 2;

// Outcome of Translate.
struct TranslateResult {
    void *allocated = nullptr; // the output, when Translate was asked to allocate it
    uint32_t length = 0;       // output length in bytes, terminator included
    uint32_t terminator = 0;   // the terminator's size in bytes
};

// Opens the table of a code. country and language (ISO 639, may be empty)
// select the collation; an unknown code fails.
uint32_t OpenTable(Table **table, const int32_t *country, const char *language, uint32_t code);
void CloseTable(Table *table);

// Maps a code page to a character-set code: 20127 (7-bit ASCII) is 9, every
// other code page is its own code.
uint32_t CodeFromCodePage(uint32_t *code, const uint32_t *codePage);

// True when the table's set is UTF-8.
bool IsUtf8(const Table *table);

// Size in bytes of the text terminator of the table's character set.
uint32_t TerminatorSize(const Table *table, uint32_t *size);

// Length in bytes of a terminated text, terminator included.
uint32_t TextLength(const Table *table, const void *text, uint32_t *length);

// Translates sourceLength bytes of source (in sourceTable's set) into
// destinationTable's set. With a null buffer the output is allocated (freed
// with FreeOutput) and handed out in result->allocated; otherwise it is
// written into buffer, capacity bytes including room for the terminator.
// result->length is the full output length with its terminator even when
// it did not fit the buffer (the buffer then holds a cut output).
uint32_t Translate(Table *destinationTable, Table *sourceTable, void *buffer, uint32_t capacity,
                   const void *source, uint32_t sourceLength, TranslateResult *result);
void FreeOutput(void *output);

// Translate for a caller that terminates the output itself: writes what
// fits into room bytes at out (UTF-16 output must be aligned) and sets
// *produced to the whole output length.
uint32_t TranslateInto(Table *destinationTable, Table *sourceTable, void *out, uint32_t room,
                       const void *source, uint32_t sourceLength, uint32_t *produced);

// Output bytes (terminator not counted) that suffice for a translation of
// sourceLength bytes: always from UTF-8 into UTF-16LE and from UTF-16LE,
// for well-formed text between two UTF-8 codes, for nearly every text
// otherwise.
uint64_t OutputEstimate(const Table *destinationTable, const Table *sourceTable,
                        uint32_t sourceLength);

// Option bit of Collate: ignore letter case.
constexpr uint16_t kCollateNoCase = 1;

// Compares two UTF-16 texts by the collation of a UTF-16 table. Each text
// is given with its length in code units and read no further: a text need
// not be terminated. result receives a negative, zero or positive value.
uint32_t Collate(Table *unicodeTable, const void *first, int32_t firstLength, const void *second,
                 int32_t secondLength, uint16_t options, int16_t *result);

} // namespace xcore
