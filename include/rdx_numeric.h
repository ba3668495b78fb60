/* SPDX-License-Identifier: Apache-2.0 */
/* Numeric values: exact decimals of up to 88 digits with their own
 * precision and scale.
 *
 * Value = (-1)^sign * D * 10^-scale, where D is the integer written by the
 * first `precision` packed digits. A record whose first four bytes are zero
 * (a cleared record) is turned into 0 with precision 88 and scale 44 by the
 * first operation that looks at it. */
#ifndef RDX_NUMERIC_H
#define RDX_NUMERIC_H

#include "rdexport.h"
#include "rdx_stream.h"
#include <stdint.h>

#define RDNUMERIC_MAX_PRECISION 88u
#define RDNUMERIC_DIGIT_BYTES 44
#define RDNUMERIC_MARKER 128u
/* A scale argument of RDNumericCreate that means 0. */
#define RDNUMERIC_DEFAULT_SCALE 0x7FFFFFFF

typedef struct RDNumeric {
    uint8_t precision; /* digits held, 0 to 88 */
    int8_t scale;      /* digits after the point; negative: implied trailing zeros */
    uint8_t sign;      /* 0 positive, 1 negative */
    uint8_t marker;    /* 128 in every created numeric */
    /* Digit i (0 = most significant) in byte i / 2: high half when i is
     * even, low half when odd; half-bytes after the last digit are 0. */
    uint8_t digits[RDNUMERIC_DIGIT_BYTES];
} RDNumeric;

RD_BEGIN_DECLS

/* Zeroes all 48 bytes; a null numeric is ignored. */
RD_EXPORT void RDNumericClear(RDNumeric *numeric);
/* Copies all 48 bytes; a null source clears the destination. */
RD_EXPORT void RDNumericCopy(RDNumeric *destination, const RDNumeric *source);
/* The value 0 with precision <= 88, -127 <= scale <= 127 and
 * scale - precision >= -127. 0 or 12806. */
RD_EXPORT uint32_t RDNumericCreate(RDNumeric *numeric, uint32_t precision, int32_t scale);
/* 0 for a null or invalid numeric. */
RD_EXPORT uint32_t RDNumericGetPrecision(RDNumeric *numeric);
RD_EXPORT int32_t RDNumericGetScale(RDNumeric *numeric);
/* result: -1, 0 or 1; -0 sorts before +0. 0, 12302 or 12806. */
RD_EXPORT uint32_t RDNumericCompare(RDNumeric *first, RDNumeric *second, int32_t *result);
/* result = first + second (or first - second) in the result's own precision
 * and scale, truncated toward zero. 0, 12801 (result all 9s) or 12806. */
RD_EXPORT uint32_t RDNumericAdd(RDNumeric *result, RDNumeric *first, RDNumeric *second);
RD_EXPORT uint32_t RDNumericSubtract(RDNumeric *result, RDNumeric *first, RDNumeric *second);
/* Through the 15-significant-digit text of the float. 0, 532, 12801 or 12806. */
RD_EXPORT uint32_t RDNumericFromFloat(RDNumeric *numeric, const double *value);
/* 0, 12804 or 12806. */
RD_EXPORT uint32_t RDFloatFromNumeric(double *value, RDNumeric *numeric);
/* Reads a number such as " -1.5E2" into the numeric's precision and scale. */
RD_EXPORT uint32_t RDNumericFromStream(RDNumeric *numeric, const RDStream *stream);
/* Writes the shortest text of the value, e.g. "-12.5", in the given set. */
RD_EXPORT uint32_t RDStreamFromNumeric(RDStream *stream, RDNumeric *numeric, uint32_t charset);

RD_END_DECLS

#ifdef __cplusplus
static_assert(sizeof(RDNumeric) == 48, "RDNumeric is 48 bytes");
#else
_Static_assert(sizeof(RDNumeric) == 48, "RDNumeric is 48 bytes");
#endif

#endif
