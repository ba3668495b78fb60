/* SPDX-License-Identifier: Apache-2.0 */
/* Stream values: text in a character set, or bytes of a non-text kind.
 *
 * An RDStream belongs to whoever holds it; its private storage is released
 * with RDStreamDataFree. Every function returns 12320 (or does nothing) until
 * RDSystemInit has succeeded. Several threads may call these functions at
 * once on records of their own (rdx_system.h says which others). */
#ifndef RDX_STREAM_H
#define RDX_STREAM_H

#include "rdexport.h"
#include "rdx_status.h"
#include <stdint.h>

/* Character-set codes. Code 0 is never valid. */
#define RDCHARSET_UNICODE 160u     /* two-byte little-endian text */
#define RDCHARSET_INTERCHANGE 256u /* the set values are formatted in */
#define RDCHARSET_DEFAULT 65535u   /* the system's native set */

/* Non-text kinds: bit 30 set. */
#define RDKIND_FLAG 0x40000000u
#define RDKIND_BINARY 0x40000001u
#define RDKIND_RICHTEXT 0x40000002u
#define RDKIND_TEXTLIST 0x40000003u
#define RDKIND_NUMBERLIST 0x40000004u
#define RDKIND_DATETIMELIST 0x40000005u

/* Caller flags (low 24 bits). */
#define RDSTREAM_FIXED 0x1u
#define RDSTREAM_TRUNCATE 0x4u
#define RDSTREAM_NOCASE 0x10u
#define RDSTREAM_CALLER_MASK 0x00FFFFFFu

/* Internal markers (high byte), reported by RDStreamDataGetFlags only. */
#define RDSTREAM_BORROWED 0x01000000u
#define RDSTREAM_PRESIZED 0x02000000u
#define RDSTREAM_MARKER_MASK 0xFF000000u

/* Conversion options of RDStreamDataConvert. */
#define RDCONVERT_BORROW 1u
#define RDCONVERT_KEEPFORMAT 2u
#define RDCONVERT_LITERAL 4u

typedef struct RDStream {
    uint32_t maxLength; /* 0 = unlimited */
    uint32_t length;    /* bytes, terminator not counted */
    uint32_t flags;
    uint32_t charset; /* character-set code or non-text kind */
    uint8_t *data;    /* null only in a cleared record */
} RDStream;

RD_BEGIN_DECLS

RD_EXPORT void RDStreamClear(RDStream *stream);
RD_EXPORT uint32_t RDStreamCreate(RDStream *stream, uint32_t maxLength, uint32_t flags,
                                  uint32_t charset);
RD_EXPORT void RDStreamDataFree(RDStream *stream);
RD_EXPORT uint32_t RDStreamDataGetFlags(const RDStream *stream);
RD_EXPORT uint32_t RDStreamDataSetFlags(RDStream *stream, uint32_t flags);
RD_EXPORT uint32_t RDStreamDataSet(RDStream *stream, uint32_t charset, const void *bytes,
                                   uint32_t count);
RD_EXPORT uint32_t RDStreamDataAlloc(RDStream *stream, uint32_t charset, uint32_t count,
                                     uint8_t **data, uint32_t *length);
RD_EXPORT uint32_t RDStreamDataRealloc(RDStream *stream, uint32_t count, uint8_t **data);
/* Copy, convert, merge and extract accept a destination that is also one of
 * their sources. */
RD_EXPORT uint32_t RDStreamDataConvert(RDStream *destination, const RDStream *source,
                                       uint32_t options, uint32_t charset, uint8_t **data,
                                       uint32_t *length);
RD_EXPORT uint32_t RDStreamDataCopy(RDStream *destination, const RDStream *source);
RD_EXPORT uint32_t RDStreamDataGetLength(const RDStream *stream);
RD_EXPORT uint32_t RDStreamDataGetBuffer(const RDStream *stream, uint32_t *charset, uint8_t **data);
RD_EXPORT uint32_t RDStreamDataGetInfo(const RDStream *stream, uint32_t *maxLength, uint32_t *flags,
                                       uint32_t *charset, uint8_t **data, uint32_t *length);
/* Copies count bytes from position (1 = first) into bytes, which must hold
 * count + 1 bytes, and zero-terminates them. */
RD_EXPORT uint32_t RDStreamDataFetch(const RDStream *stream, uint32_t position, uint32_t count,
                                     void *bytes, uint32_t *fetched);
/* result: -1, 0 or 1 for first before, equal to or after second. */
RD_EXPORT uint32_t RDStreamDataCompare(const RDStream *first, const RDStream *second,
                                       int32_t *result);
RD_EXPORT uint32_t RDStreamDataMerge(RDStream *destination, const RDStream *base, uint32_t position,
                                     const RDStream *insert);
RD_EXPORT uint32_t RDStreamDataExtract(RDStream *destination, const RDStream *source,
                                       uint32_t position, uint32_t count);
RD_EXPORT uint32_t RDStreamDataTrim(RDStream *stream);

RD_END_DECLS

#ifdef __cplusplus
static_assert(sizeof(RDStream) == 4 * sizeof(uint32_t) + sizeof(void *), "RDStream layout");
#endif

#endif
