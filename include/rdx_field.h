/* SPDX-License-Identifier: Apache-2.0 */
/* Fields: one typed column of a record, with a fixed number of values (one
 * per record of a batch) and a null indicator per value, reached by a
 * handle. Every function returns 12320 (or the value said) until
 * RDSystemInit has succeeded. Value positions count from 1. */
#ifndef RDX_FIELD_H
#define RDX_FIELD_H

#include "rdexport.h"
#include <stdint.h>

/* Type codes. */
#define RDTYPE_INT 1u
#define RDTYPE_FLOAT 2u
#define RDTYPE_CURRENCY 3u
#define RDTYPE_NUMERIC 4u
#define RDTYPE_DATETIME 5u
#define RDTYPE_TEXT 6u
#define RDTYPE_BINARY 7u

/* Caller flags (low 24 bits). */
#define RDFIELD_TRUNCATE 0x4u     /* stream values are created with RDSTREAM_TRUNCATE */
#define RDFIELD_PAIR_LOW 0x1000u  /* a two-bit field: 0x1000 and 0x2000 ... */
#define RDFIELD_PAIR_HIGH 0x2000u /* ... are never both set */
#define RDFIELD_CALLER_MASK 0x00FFFFFFu

RD_BEGIN_DECLS

/* 0, 258, 12298 (count 0), 12302, 12810 (type). *handle is 0 on failure. */
RD_EXPORT uint32_t RDFieldAlloc(uint32_t *handle, uint32_t type, uint32_t valueCount);
/* Always 0 once set up: unknown handles and fields of a list are left alone. */
RD_EXPORT uint32_t RDFieldFree(uint32_t handle);

/* These return the member, or 0 when not set up or the handle is unknown. */
RD_EXPORT uint32_t RDFieldGetType(uint32_t handle);
RD_EXPORT uint32_t RDFieldGetValueCount(uint32_t handle);
RD_EXPORT uint32_t RDFieldGetTypeSize(uint32_t handle);
RD_EXPORT uint32_t RDFieldGetVirtualCode(uint32_t handle);
RD_EXPORT uint32_t RDFieldGetFlags(uint32_t handle);

/* 0, 12304 (0x1000 and 0x2000 both set), 12809 (unknown handle). */
RD_EXPORT uint32_t RDFieldSetFlags(uint32_t handle, uint32_t flags);
RD_EXPORT uint32_t RDFieldSetVirtualCode(uint32_t handle, uint32_t code);

/* Format words. The getters take optional outputs, all set to 0 on failure;
 * the setters make every value null. 12546: a field of another type. */
RD_EXPORT uint32_t RDFieldGetFormatNumber(uint32_t handle, uint32_t *word1, uint32_t *word2,
                                          uint32_t *precision, uint32_t *scale);
RD_EXPORT uint32_t RDFieldSetFormatNumber(uint32_t handle, uint32_t word1, uint32_t word2,
                                          uint32_t precision, uint32_t scale);
RD_EXPORT uint32_t RDFieldGetFormatDatetime(uint32_t handle, uint32_t *word1, uint32_t *word2);
RD_EXPORT uint32_t RDFieldSetFormatDatetime(uint32_t handle, uint32_t word1, uint32_t word2);
RD_EXPORT uint32_t RDFieldGetFormatStream(uint32_t handle, uint32_t *flags, uint32_t *maxLength,
                                          uint32_t *charset);
/* Re-creates every stream value with the format; all or nothing. */
RD_EXPORT uint32_t RDFieldSetFormatStream(uint32_t handle, uint32_t flags, uint32_t maxLength,
                                          uint32_t charset);

/* The address of value index and of its null indicator (nonzero = null),
 * for filling values in place. 12297 index 0, 12291 beyond the count. */
RD_EXPORT uint32_t RDFieldGetBuffer(uint32_t handle, uint32_t index, void **value,
                                    uint32_t **indicator);
/* 1 or 0; 1 for an unknown handle or position, 0 when not set up. */
RD_EXPORT uint32_t RDFieldIsNull(uint32_t handle, uint32_t index);
RD_EXPORT uint32_t RDFieldSetNull(uint32_t handle, uint32_t index, uint32_t indicator);

RD_END_DECLS

#endif
