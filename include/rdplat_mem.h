/* Heap memory shared by every library of the system and by connectors:
 * whoever receives a block frees it with RDMemFree. */
#ifndef RDPLAT_MEM_H
#define RDPLAT_MEM_H

#include "rdexport.h"
#include <stdint.h>

RD_BEGIN_DECLS

/* An uninitialised block of size bytes (1 when size is 0), null on failure or
 * for a negative size. */
RD_EXPORT void *RDMemAlloc(int32_t size);

/* A zero-filled block of size bytes (1 when size is 0), null on failure or for
 * a negative size. */
RD_EXPORT void *RDMemCalloc(int32_t size);

/* Resizes block to newSize bytes (0 counts as 1). A null block yields null.
 * On failure returns null and leaves the old block untouched. */
RD_EXPORT void *RDMemRealloc(void *block, uint32_t oldSize, uint32_t newSize);

/* Frees a block; null is ignored. */
RD_EXPORT void RDMemFree(void *block);

RD_END_DECLS

#endif
