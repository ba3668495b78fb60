/* SPDX-License-Identifier: Apache-2.0 */
/* Currency values: an exact amount with four decimal places, held as a
 * signed 64-bit count of ten-thousandths of a unit.
 *
 * Arithmetic saturates at +-9223372036854775807 ten-thousandths (never at
 * -2^63) and reports 12801. A record of all zero bytes is the value 0. */
#ifndef RDX_CURRENCY_H
#define RDX_CURRENCY_H

#include "rdexport.h"
#include "rdx_stream.h"
#include <stdint.h>

/* The value times 10000, as two 32-bit words, low word first. */
typedef struct RDCurrency {
    uint32_t low;
    uint32_t high;
} RDCurrency;

RD_BEGIN_DECLS

/* Sets the value 0; a null currency is ignored. */
RD_EXPORT void RDCurrencyClear(RDCurrency *currency);
/* Copies source; a null source sets the destination to 0. */
RD_EXPORT void RDCurrencyCopy(RDCurrency *destination, const RDCurrency *source);
/* result: -1, 0 or 1. 12302 for a null result, 12805 for a null currency. */
RD_EXPORT uint32_t RDCurrencyCompare(const RDCurrency *first, const RDCurrency *second,
                                     int32_t *result);
/* result = first + second (or first - second); result may be an operand.
 * 0, 12801 (saturated) or 12805. */
RD_EXPORT uint32_t RDCurrencyAdd(RDCurrency *result, const RDCurrency *first,
                                 const RDCurrency *second);
RD_EXPORT uint32_t RDCurrencySubtract(RDCurrency *result, const RDCurrency *first,
                                      const RDCurrency *second);
/* Rounds value * 10000 to the nearest integer, ties to even. 0, 12801 or 12805. */
RD_EXPORT uint32_t RDCurrencyFromFloat(RDCurrency *currency, const double *value);
/* 0 or 12804. */
RD_EXPORT uint32_t RDFloatFromCurrency(double *value, const RDCurrency *currency);
/* Reads an amount such as "($1,234.5)" written with the international
 * settings. 0, 532, 12801 (saturated), 12805 or a conversion status. */
RD_EXPORT uint32_t RDCurrencyFromStream(RDCurrency *currency, const RDStream *stream);
/* Writes the amount as "-1234.5000" in the given character set. */
RD_EXPORT uint32_t RDStreamFromCurrency(RDStream *stream, const RDCurrency *currency,
                                        uint32_t charset);

RD_END_DECLS

#ifdef __cplusplus
static_assert(sizeof(RDCurrency) == 8, "RDCurrency is 8 bytes");
#else
_Static_assert(sizeof(RDCurrency) == 8, "RDCurrency is 8 bytes");
#endif

#endif
