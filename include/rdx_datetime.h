/* SPDX-License-Identifier: Apache-2.0 */
/* Date-times: a day number and a time of day, both in universal time, plus
 * the zone byte of the zone in which the value was made. Either half may be
 * absent. */
#ifndef RDX_DATETIME_H
#define RDX_DATETIME_H

#include "rdexport.h"
#include "rdplat_intl.h" /* RDDatetimeParts */
#include "rdx_stream.h"
#include <stdint.h>

/* The absent half (either word). */
#define RDDT_ABSENT 0xFFFFFFFFu
/* The largest day number and the largest time of day (24:00:00.00). */
#define RDDT_MAX_DAY 0xFFFFFFu
#define RDDT_MAX_TICKS 8640000u

/* Flags of RDDatetimeSetParts and RDDatetimeGetParts. */
#define RDDT_ZERONULL 0x1u
#define RDDT_LOCALZONE 0x2u
#define RDDT_UTC 0x4u
#define RDDT_ONENULL 0x8u

/* Codes of RDDatetimeSetConstant. */
#define RDDT_MINIMUM 1u
#define RDDT_MAXIMUM 2u
#define RDDT_NONE 3u

/* Zone byte: daylight saving observed, east of UTC, quarter hours (bits
 * 5-4) and whole hours (bits 3-0). */
#define RDDT_ZONE_DST 0x80u
#define RDDT_ZONE_EAST 0x40u

/* Units of RDDatetimeGetDiff. */
#define RDDT_UNIT_YEAR 1
#define RDDT_UNIT_MONTH 2
#define RDDT_UNIT_DAY 3
#define RDDT_UNIT_WEEKDAY 4
#define RDDT_UNIT_HOUR 5
#define RDDT_UNIT_MINUTE 6
#define RDDT_UNIT_SECOND 7
#define RDDT_UNIT_HUNDREDTH 8
#define RDDT_UNIT_ZONE 9

typedef struct RDDatetime {
    uint32_t ticks; /* hundredths since midnight UTC, or RDDT_ABSENT */
    uint32_t date;  /* bits 0-23 Julian Day Number (UTC), 24-31 zone byte */
} RDDatetime;

RD_BEGIN_DECLS

RD_EXPORT void RDDatetimeClear(RDDatetime *datetime);
RD_EXPORT void RDDatetimeCopy(RDDatetime *destination, const RDDatetime *source);
RD_EXPORT uint32_t RDDatetimeSetConstant(RDDatetime *datetime, uint32_t code);
RD_EXPORT uint32_t RDDatetimeSetCurrent(RDDatetime *datetime);
RD_EXPORT uint32_t RDDatetimeSetParts(RDDatetime *datetime, const RDDatetimeParts *parts,
                                      uint32_t flags);
RD_EXPORT uint32_t RDDatetimeGetParts(const RDDatetime *datetime, uint32_t flags,
                                      RDDatetimeParts *parts);
/* result: 1 when first is later, -1 when earlier, else 0. */
RD_EXPORT uint32_t RDDatetimeCompare(const RDDatetime *first, const RDDatetime *second,
                                     int32_t *result);
/* result = first - second in unit 1-9. */
RD_EXPORT uint32_t RDDatetimeGetDiff(const RDDatetime *first, const RDDatetime *second,
                                     int32_t unit, int32_t *result);
/* delta: years, months, days, (ignored), hours, minutes, seconds, hundredths. */
RD_EXPORT uint32_t RDDatetimeAdjust(RDDatetime *datetime, const int32_t delta[8]);
RD_EXPORT uint32_t RDDatetimeGetJulian(const RDDatetime *datetime);
RD_EXPORT uint32_t RDDatetimeSetJulian(RDDatetime *datetime, uint32_t day);
RD_EXPORT uint32_t RDDatetimeGetTicks(const RDDatetime *datetime);
RD_EXPORT uint32_t RDDatetimeSetTicks(RDDatetime *datetime, uint32_t ticks);
RD_EXPORT uint32_t RDDatetimeFromStream(RDDatetime *datetime, const RDStream *stream);

RD_END_DECLS

#ifdef __cplusplus
static_assert(sizeof(RDDatetime) == 8, "RDDatetime is 8 bytes");
#endif

#endif
