// SPDX-License-Identifier: Apache-2.0
// Progress samples of a run managed by the server manager: about every
// second the watching thread sends the activity's statistics so far on the
// run's sample handle (rdcsm/run_handles.h), so that `rdcsm runs` and the
// status page show the run's records, rate, share done and time left.
//
// A sample goes out on a connection of its own, as every request of the
// client does, so the activity's own requests on its thread are not held.
// Its status is ignored: a sample that fails (server manager gone, busy or
// refusing) never fails or stops the run, and holds the watching thread no
// longer than the client's exchange time-out; after a failure the samples
// come less often.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace rdrun {

// The statistics words of a sample: those given, except that the select's
// record count (word 13), when the select could not tell it (unknown or 0),
// becomes the records to expect from the records read and the share of the
// source file read, once that share is at least 0.001.
void SampleWords(const uint32_t *statistics, std::optional<double> share, uint32_t *words);

class Sampler {
  public:
    // The handle the host holds for its run; a handle that is not a run's
    // has no samples.
    explicit Sampler(uint32_t runHandle);
    // Whether samples are sent at all.
    bool Active() const { return handle_ != 0; }
    // Sends a sample of the statistics when one is due.
    void Offer(const uint32_t *statistics);

  private:
    using Clock = std::chrono::steady_clock;
    uint32_t handle_;
    Clock::time_point due_;
    std::chrono::milliseconds pause_;
};

} // namespace rdrun
