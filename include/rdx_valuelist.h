/* SPDX-License-Identifier: Apache-2.0 */
/* Value lists: read-only accessors of text, number and datetime lists held
 * in streams of the kinds RDKIND_TEXTLIST, RDKIND_NUMBERLIST and
 * RDKIND_DATETIMELIST. A plain text stream reads as a text list of one entry.
 *
 * An image whose header claims more entries, values or ranges than its
 * stream holds is not a list: counts and lengths give 0 and the fetches
 * give the "not a list" status. The accessors never change the list and may
 * be called from several threads on streams that none of them changes. */
#ifndef RDX_VALUELIST_H
#define RDX_VALUELIST_H

#include "rdexport.h"
#include "rdx_datetime.h"
#include "rdx_stream.h"
#include <stdint.h>

RD_BEGIN_DECLS

/* Text lists. Indexes count from 1. */
RD_EXPORT uint32_t RDTextListGetCount(const RDStream *list);
/* Index 0: the size of the whole list image. */
RD_EXPORT uint32_t RDTextListGetLength(const RDStream *list, uint32_t index);
/* The entry, in charset, into out; data and length are optional. */
RD_EXPORT uint32_t RDTextListFetch(const RDStream *list, uint32_t index, uint32_t charset,
                                   RDStream *out, uint8_t **data, uint32_t *length);

/* Number lists: single values, then ranges (low, high). */
RD_EXPORT void RDNumberListGetCount(const RDStream *list, uint32_t *values, uint32_t *ranges);
RD_EXPORT uint32_t RDNumberListGetLength(const RDStream *list);
RD_EXPORT uint32_t RDNumberListGetFirst(const RDStream *list, double *value);
RD_EXPORT uint32_t RDNumberListGetValue(const RDStream *list, uint32_t index, double *value);
RD_EXPORT uint32_t RDNumberListGetRange(const RDStream *list, uint32_t index, double *low,
                                        double *high);

/* Datetime lists: the same layout with datetime records. */
RD_EXPORT void RDDatetimeListGetCount(const RDStream *list, uint32_t *values, uint32_t *ranges);
RD_EXPORT uint32_t RDDatetimeListGetLength(const RDStream *list);
RD_EXPORT uint32_t RDDatetimeListGetFirst(const RDStream *list, RDDatetime *value);
RD_EXPORT uint32_t RDDatetimeListGetValue(const RDStream *list, uint32_t index, RDDatetime *value);
RD_EXPORT uint32_t RDDatetimeListGetRange(const RDStream *list, uint32_t index, RDDatetime *low,
                                          RDDatetime *high);

RD_END_DECLS

#endif
