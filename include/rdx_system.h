/* SPDX-License-Identifier: Apache-2.0 */
/* The system context of rdxapi: RDSystemInit sets up character-set
 * translation and the other process-wide state, RDSystemTerm tears it down.
 * Calls nest by a reference count; the platform (RDPlatInit) is started
 * before the first RDSystemInit and stopped after the last RDSystemTerm.
 *
 * Threads. Between RDSystemInit and RDSystemTerm, the value functions
 * (rdx_stream.h, rdx_currency.h, rdx_numeric.h, rdx_datetime.h, rdx_text.h),
 * conversions between character sets and kinds included, may be called from
 * several threads at once, each thread on its own records: the translation
 * tables and collators are loaded by whichever thread needs them first and
 * then shared. A record that several threads use (a stream, or a stream whose
 * bytes another borrows while either changes) needs the caller's lock.
 * RDSystemInit, RDSystemTerm and RDPlatSetIntlFormat must not run while other
 * threads call these functions. */
#ifndef RDX_SYSTEM_H
#define RDX_SYSTEM_H

#include "rdexport.h"
#include <stdint.h>

RD_BEGIN_DECLS

/* Returns 0, 258 (no memory), 1549 (the standard translation tables cannot
 * be loaded) or 12320. */
RD_EXPORT uint32_t RDSystemInit(void);

/* Always 0. */
RD_EXPORT uint32_t RDSystemTerm(void);

RD_END_DECLS

#endif
