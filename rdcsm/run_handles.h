// SPDX-License-Identifier: Apache-2.0
// Handles of runs and their sample handles, shared by the server manager
// and the hosts that send samples (rdrun).
//
// A run's handle is its number above kRunBase; below it are the handles of
// activities and links. A run's sample handle is its run handle with the top
// bit set: statistics sent on it are a progress sample of the running run
// (samples.h), not its statistics record. Only runs below kMaxSampledRun
// have one.
#pragma once

#include <cstdint>

namespace rdcsm {

inline constexpr uint32_t kRunBase = 0x40000000u;
inline constexpr uint32_t kSampleBit = 0x80000000u;
inline constexpr int64_t kMaxSampledRun = 0x40000000;

// The sample handle of a run handle; 0 when the run has none.
constexpr uint32_t SampleHandle(uint32_t runHandle) {
    return runHandle > kRunBase && runHandle - kRunBase < kMaxSampledRun ? runHandle | kSampleBit
                                                                         : 0;
}

// The run handle of a sample handle; 0 when handle is not one.
constexpr uint32_t RunOfSampleHandle(uint32_t handle) {
    if ((handle & kSampleBit) == 0) return 0;
    const uint32_t run = handle & ~kSampleBit;
    return run > kRunBase ? run : 0;
}

} // namespace rdcsm
