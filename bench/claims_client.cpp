// SPDX-License-Identifier: Apache-2.0
// The claim path alone, as a host's worker walks it without running
// anything: attach to the home's server manager, then claim the next queued
// run (CSMgrNextActivity) and end it at once (CSMgrDoneActivity, end code 0)
// until the queue is empty. claims_bench.sh starts several of these per host
// to measure how many claims a store serves per second.
// Usage: claims_client HOME  (the home's quarry.ini names the server manager)
// Prints the runs it claimed; exits 1 when a request fails.
#include "rdplat.h"
#include "rdx_system.h"
#include "rdxapi.h"

#include <cstdio>
#include <string>

namespace {

constexpr uint32_t kNothingToRun = 788;

// Claims and ends runs until none is queued: the number ended, or -1.
long ClaimAll() {
    long claimed = 0;
    for (;;) {
        NextActivityRecord next{};
        const uint32_t status = CSMgrNextActivity(&next);
        if (status == kNothingToRun) return claimed;
        if (status != 0) {
            std::fprintf(stderr, "claims_client: CSMgrNextActivity: status %u\n", status);
            return -1;
        }
        const uint32_t done = CSMgrDoneActivity(next.handle, 0);
        if (done != 0) {
            std::fprintf(stderr, "claims_client: CSMgrDoneActivity(%u): status %u\n", next.handle,
                         done);
            return -1;
        }
        ++claimed;
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: claims_client HOME\n");
        return 2;
    }
    const std::string ini = std::string(argv[1]) + "/quarry.ini";
    uint32_t status = RDPlatInit(ini.c_str());
    if (status == 0) status = RDSystemInit();
    if (status == 0) status = CSMgrInit(nullptr);
    if (status != 0) {
        std::fprintf(stderr, "claims_client: cannot attach (status %u)\n", status);
        return 1;
    }
    const long claimed = ClaimAll();
    CSMgrTerm();
    RDSystemTerm();
    RDPlatTerm();
    if (claimed < 0) return 1;
    std::printf("%ld\n", claimed);
    return 0;
}
