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

RD_END_DECLS

#endif
