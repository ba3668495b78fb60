/* SPDX-License-Identifier: Apache-2.0 */
/* Field lists: ordered, named slots, each holding a field of recordCount
 * values (or only a name, for a list made with record count 0). Every
 * function returns 12320 until RDSystemInit has succeeded; positions count
 * from 1. Name outputs of RDFieldlistList and RDFieldlistGetField point at
 * the list's own records and stay valid until the list changes. */
#ifndef RDX_FIELDLIST_H
#define RDX_FIELDLIST_H

#include "rdexport.h"
#include "rdx_stream.h"
#include <stdint.h>

RD_BEGIN_DECLS

/* 0, 258, 12302. A record count of 0 makes a names-only list. */
RD_EXPORT uint32_t RDFieldlistAlloc(uint32_t *handle, uint32_t recordCount, uint32_t defaultFlags);
RD_EXPORT uint32_t RDFieldlistFree(uint32_t handle);

/* Not statuses: 12320 when not set up, 0 for an unknown list. */
RD_EXPORT uint32_t RDFieldlistGetSequence(uint32_t handle);
RD_EXPORT uint32_t RDFieldlistGetRecordCount(uint32_t handle);
/* Visible fields; 0 when not set up or unknown. */
RD_EXPORT uint32_t RDFieldlistGetCount(uint32_t handle);
/* Total byte length of the names in charset; 12320 when not set up, 0 for
 * an unknown list or a character set that cannot be had. */
RD_EXPORT uint32_t RDFieldlistGetNameLength(uint32_t handle, uint32_t charset);

/* Layout changes: all or nothing. 12306 null name, 12311 the list's fields
 * are shared with a copy, 12810 type, 12297 / 12291 position. */
RD_EXPORT uint32_t RDFieldlistAppend(uint32_t handle, const RDStream *name, uint32_t type,
                                     uint32_t *field);
RD_EXPORT uint32_t RDFieldlistInsert(uint32_t handle, uint32_t position, const RDStream *name,
                                     uint32_t type, uint32_t *field);
RD_EXPORT uint32_t RDFieldlistReplace(uint32_t handle, uint32_t position, const RDStream *name,
                                      uint32_t type, uint32_t *field);
RD_EXPORT uint32_t RDFieldlistRemove(uint32_t handle, uint32_t position);
RD_EXPORT uint32_t RDFieldlistSetName(uint32_t handle, uint32_t position, const RDStream *name);

/* A cursor over the slots: 12314 without set-up, 12290 at the end. */
RD_EXPORT uint32_t RDFieldlistListSetup(uint32_t handle, uint32_t charset);
RD_EXPORT uint32_t RDFieldlistList(uint32_t handle, uint32_t *field, uint32_t *position,
                                   uint32_t *type, uint32_t *flags, RDStream **name);

/* By visible position. */
RD_EXPORT uint32_t RDFieldlistGetField(uint32_t handle, uint32_t position, uint32_t charset,
                                       uint32_t *field, RDStream **name);
/* A copy of the name into stream; 12808 for a null stream. */
RD_EXPORT uint32_t RDFieldlistGetName(uint32_t handle, uint32_t position, uint32_t charset,
                                      RDStream *stream);
/* The first visible slot whose name equals name, letter case ignored;
 * 12809 when there is none. */
RD_EXPORT uint32_t RDFieldlistLookup(uint32_t handle, const RDStream *name, uint32_t *field,
                                     uint32_t *position);

/* A new list with its own names and new fields holding copies of the
 * values. */
RD_EXPORT uint32_t RDFieldlistCopy(uint32_t *handle, uint32_t source);
/* A new list with its own names sharing the source's fields: neither list
 * may change its layout while both exist. */
RD_EXPORT uint32_t RDFieldlistCopyRef(uint32_t *handle, uint32_t source);

/* Merge options. */
#define RDMERGE_BYNAME 0x1u       /* place data fields by name, else by position */
#define RDMERGE_ALLOWMISSING 0x2u /* layout fields may stay without a data field */
#define RDMERGE_ALLOWEXTRA 0x4u   /* data fields may stay without a layout field */
#define RDMERGE_FILTERMASK 0x3F0u /* leave out data fields with all these flags ... */
#define RDMERGE_KEEPFLAGGED 0x400u /* ... unless they carry flag 0x400 */

/* A list showing the data list's fields under the layout list's names and
 * order, matched by position or by name; no value is copied. With a
 * virtual code, the data fields of that code go to a second list instead.
 * Both results are freed with RDFieldlistFree; they hold references on the
 * blocks they borrow, so the inputs may be freed in any order, but while
 * they live the inputs' layouts cannot change (12311). 12315: the data list
 * has no fields; 12548: counts do not match; 12552: a name without its
 * partner. */
RD_EXPORT uint32_t RDFieldlistMerge(uint32_t *merged, uint32_t layout, uint32_t data,
                                    uint32_t options);
RD_EXPORT uint32_t RDFieldlistMergeVirtual(uint32_t *merged, uint32_t layout, uint32_t data,
                                           uint32_t options, uint32_t virtualCode,
                                           uint32_t *virtualList);

RD_END_DECLS

#endif
