/* SPDX-License-Identifier: Apache-2.0 */
/* Test hooks of rdplat. Not part of the programming interface: only test
 * programs use them. */
#ifndef RDPLAT_TEST_H
#define RDPLAT_TEST_H

#include "rdexport.h"
#include <stdint.h>

RD_BEGIN_DECLS

/* Makes the n-th following allocation of RDMemAlloc, RDMemCalloc or
 * RDMemRealloc fail (1 = the very next one); 0 disarms. */
RD_EXPORT void RDTestMemFailNth(uint32_t n);

/* 1 while an armed failure has not fired yet, else 0. A loop that arms
 * n = 1, 2, ... stops when an operation completes with the failure unfired. */
RD_EXPORT int RDTestMemFailPending(void);

/* Counts one allocation of another allocator (the tests' operator new)
 * against the armed failure, as RDMemAlloc counts its own: 1 when this
 * allocation is the one chosen to fail, else 0. */
RD_EXPORT int RDTestMemFailCheck(void);

/* With enable non-zero, every read of the local clock inside rdplat sees the
 * fixed time unixSeconds + nanoseconds (seconds since 1970 UTC) instead of the
 * system clock; enable 0 returns to the system clock. */
RD_EXPORT void RDTestClockSet(int enable, int64_t unixSeconds, int32_t nanoseconds);

RD_END_DECLS

#endif
