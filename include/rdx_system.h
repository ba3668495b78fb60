/* The system context of rdxapi: RDSystemInit sets up character-set
 * translation and the other process-wide state, RDSystemTerm tears it down.
 * Calls nest by a reference count; the platform (RDPlatInit) is started
 * before the first RDSystemInit and stopped after the last RDSystemTerm. */
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
