/* SPDX-License-Identifier: Apache-2.0 */
/* Clock, time zone, international formats, character information and
 * version comparison. */
#ifndef RDPLAT_INTL_H
#define RDPLAT_INTL_H

#include "rdexport.h"
#include "rdplat_status.h"
#include <stdint.h>

/* intlFlags bits. */
#define RDINTL_SYMBOL_AFTER 1u
#define RDINTL_SYMBOL_BLANK 2u
#define RDINTL_LEADING_ZERO 4u
#define RDINTL_24HOUR 8u
#define RDINTL_DST 16u

/* dateOrder values. */
#define RDINTL_MDY 1u
#define RDINTL_DMY 2u
#define RDINTL_YMD 3u

/* Room of each text of RDIntlFormat: at most 5 characters and a NUL. */
#define RDINTL_TEXT_SIZE 6

/* The international formats: a byte-exact, little-endian 86-byte record that
 * also travels whole from the server manager. */
#pragma pack(push, 1)
typedef struct RDIntlFormat {
    uint32_t intlFlags;
    uint32_t dateOrder;
    uint32_t currencyDigits;
    int32_t timeZone; /* hours + 100 * minutes, signed like the UTC offset */
    char amText[RDINTL_TEXT_SIZE];
    uint32_t amTextLength;
    char pmText[RDINTL_TEXT_SIZE];
    uint32_t pmTextLength;
    char currencySymbol[RDINTL_TEXT_SIZE];
    uint32_t currencySymbolLength;
    char thousandSeparator[RDINTL_TEXT_SIZE];
    uint32_t thousandSeparatorLength;
    char decimalSeparator[RDINTL_TEXT_SIZE];
    uint32_t decimalSeparatorLength;
    char dateSeparator[RDINTL_TEXT_SIZE];
    uint32_t dateSeparatorLength;
    char timeSeparator[RDINTL_TEXT_SIZE];
    uint32_t timeSeparatorLength;
} RDIntlFormat;
#pragma pack(pop)

#define RDINTL_FORMAT_SIZE 86

#ifdef __cplusplus
static_assert(sizeof(RDIntlFormat) == RDINTL_FORMAT_SIZE, "RDIntlFormat is 86 bytes");
#else
_Static_assert(sizeof(RDIntlFormat) == RDINTL_FORMAT_SIZE, "RDIntlFormat is 86 bytes");
#endif

/* The calendar parts of a date-time; -1 marks an absent part. */
typedef struct RDDatetimeParts {
    int32_t year;
    int32_t month;     /* 1-12 */
    int32_t day;       /* 1-31 */
    int32_t weekday;   /* 1 Sunday ... 7 Saturday; output only */
    int32_t hour;      /* 0-23 */
    int32_t minute;    /* 0-59 */
    int32_t second;    /* 0-59 */
    int32_t hundredth; /* 0-99 */
    int32_t dst;
    int32_t zone; /* standard offset, hours + 100 * minutes */
} RDDatetimeParts;

RD_BEGIN_DECLS

/* Copies the 86-byte record (the built-in defaults when source is null) into
 * the process's record, creating it at the first call, and recomputes the
 * seven text lengths. Returns 0 or 258. */
RD_EXPORT uint32_t RDPlatSetIntlFormat(const RDIntlFormat *source);

/* The process's record; null before RDPlatSetIntlFormat and after
 * RDPlatTerm. It keeps its address until RDPlatTerm. */
RD_EXPORT RDIntlFormat *RDPlatGetIntlFormat(void);

/* Stores the time zone and the daylight-saving flag (either may be null).
 * Returns 0, or 533 with both outputs 0 when no settings are loaded. */
RD_EXPORT uint32_t RDPlatGetTimeZone(int32_t *zone, int32_t *dst);

/* Fills year ... hundredth from the local clock, and dst and zone as
 * RDPlatGetTimeZone does; the weekday is left untouched. Always 0. */
RD_EXPORT uint32_t RDPlatGetDatetime(RDDatetimeParts *parts);

/* The locale's code page, country dialling code and language abbreviation
 * (a buffer of 8 bytes). Each output may be null. */
RD_EXPORT void RDCharInfo(uint32_t *codePage, int32_t *country, char *language);

/* Difference of the leading numbers (at most two digits) of two version texts. */
RD_EXPORT int RDCmpVerStr(const char *a, const char *b);

RD_END_DECLS

#endif
