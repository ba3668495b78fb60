// SPDX-License-Identifier: Apache-2.0
// The allocation-failure hook for allocators outside rdplat (a test program's
// operator new): one more allocation counted against the armed failure.
#include "rdplat_mem.h"
#include "rdplat_test.h"

extern "C" {

RD_EXPORT int RDTestMemFailCheck(void) {
    if (RDTestMemFailPending() == 0) return 0; // disarmed: nothing to count
    // A probe through RDMemAlloc counts on the one countdown that every
    // rdplat allocation uses, and comes back null exactly when it fires.
    void *probe = RDMemAlloc(0);
    if (probe == nullptr) return 1;
    RDMemFree(probe);
    return 0;
}

} // extern "C"
