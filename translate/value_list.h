// SPDX-License-Identifier: Apache-2.0
// Number and datetime lists to text and back. Both lists are a 16-bit count
// of single values, a 16-bit count of ranges, the singles (8 bytes each)
// and the ranges (two 8-byte values, low and high), little-endian. Their
// text is "single, single, low - high", in the interchange set.
#pragma once

#include "rdx_stream.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rdx {

// Each into a destination without private storage.
uint32_t NumberListToText(const RDStream &list, RDStream *text);
uint32_t TextToNumberList(const RDStream &text, RDStream *list);
uint32_t DatetimeListToText(const RDStream &list, RDStream *text);
uint32_t TextToDatetimeList(const RDStream &text, RDStream *list);

namespace valuelist {

constexpr uint32_t kItemSize = 8;

// Appends the text of the 8-byte item.
using FormatItem = uint32_t (*)(const uint8_t *item, std::string *text);
// Reads an item text (up to the next separator) into 8 bytes.
using ParseItem = uint32_t (*)(std::string_view text, uint8_t *item);

uint32_t ListToText(const RDStream &list, FormatItem format, RDStream *text);
// exponents: a '-' right after the exponent mark of a number is the
// exponent's sign (number lists).
uint32_t TextToList(const RDStream &text, ParseItem parse, bool exponents, RDStream *list);

} // namespace valuelist
} // namespace rdx
