// SPDX-License-Identifier: Apache-2.0
// Conversion of one field value between the seven field types; every
// typed accessor, the bulk conversion and the comparison go through it.
#pragma once

#include "rdx_currency.h"
#include "rdx_numeric.h"
#include "rdx_stream.h"

#include <cstddef>
#include <cstdint>

namespace rdx {

// Converts the value of type from at source into the value of type to at
// destination. charset is the character set or non-text kind of a Text or
// Binary target (0: the default set, or RDKIND_BINARY). The destination
// holds a value of type to already (a numeric its precision and scale, a
// stream its maximum length and flags).
uint32_t FieldValueConvert(uint32_t from, const void *source, uint32_t to, uint32_t charset,
                           void *destination);

// A value of type 1-4 as a double: 0 or the status of its conversion.
uint32_t FloatFromValue(uint32_t from, const void *source, double *out);

// Compares the non-null value p of the primary type with the non-null
// value s, converted to the primary type: result -1, 0 or 1.
uint32_t FieldValueCompare(uint32_t pType, const void *p, uint32_t sType, const void *s,
                           uint32_t options, int32_t *result);

// Currency and numeric into each other through their exact decimal
// digits: 0, 12801 (too large: the nearest limit, or all nines) or 12806.
uint32_t NumericFromCurrency(RDNumeric *numeric, const RDCurrency *currency);
uint32_t CurrencyFromNumeric(RDCurrency *currency, const RDNumeric *numeric);

// The double dropped toward zero into 32 bits; out of range or NaN gives
// the nearest limit (0 for NaN) and 12801.
uint32_t TruncateToInt(double value, int32_t *out);

// A single value of a number type (1-5) from a non-text stream: raw bytes,
// or the first entry of a number or datetime list (12801 when the list
// held more).
uint32_t ValueFromListStream(const RDStream &source, uint32_t to, void *destination);

// A non-text stream of kind from the value of type from (1-5).
uint32_t ListStreamFromValue(uint32_t from, const void *source, uint32_t kind,
                             RDStream *destination);

} // namespace rdx
