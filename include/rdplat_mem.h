/* SPDX-License-Identifier: Apache-2.0 */
/* Heap memory shared by every library of the system and by connectors:
 * whoever receives a block frees it with RDMemFree. */
#ifndef RDPLAT_MEM_H
#define RDPLAT_MEM_H

#include "rdexport.h"
#include <stdint.h>
#include <stdlib.h>

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

/* Allocations still to go before the failure that RDTestMemFailNth armed;
 * 0 when none is armed. Read by the inline allocation below; only the
 * platform library changes it. */
RD_EXPORT extern uint32_t RDMemFailCountdown;

/* RDMemAlloc and RDMemFree for the frequent paths of the libraries of the
 * system: the same heap and the same failure injection, without the call
 * into the platform library while no failure is armed. */
static inline void *RDMemAllocInline(int32_t size) {
    if (__atomic_load_n(&RDMemFailCountdown, __ATOMIC_RELAXED) != 0 || size <= 0)
        return RDMemAlloc(size);
    return malloc((size_t)size);
}

static inline void RDMemFreeInline(void *block) {
    free(block);
}

RD_END_DECLS

#endif
