// SPDX-License-Identifier: Apache-2.0
// Progress samples: the statistics of a run so far, sent by its host about
// every second while it runs, so that `rdcsm runs`, `list` and the status
// page show live records, rate, share done and time left, and the page
// draws a run's throughput over time.
//
// A host sends a sample as a statistics record (CSMgrDataLog) on the run's
// sample handle (run_handles.h). The words are the activity's statistics so
// far, except that the select's record count (word 13), when the select
// could not tell it, may hold the host's estimate of the records to come
// (the records read divided by the share of the source file read).
//
// Samples of a run are kept spaced: a sample closer than
// max(1 s, the run's age / 300) to the run's newest stored one replaces
// it, so that a run keeps at most a few thousand whatever its length.
#pragma once

#include "store.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace rdcsm {

// One sample as the page and the reports read it.
struct Sample {
    int64_t timeMs = 0;
    uint64_t read = 0;     // records fetched
    uint64_t written = 0;  // records inserted, updated and removed
    uint64_t expected = 0; // records the select told or the host expects; 0: unknown
};

// A sample of a stored statistics record's words (little-endian, as the
// stats and samples tables keep them; a short record reads as zeros).
Sample SampleOfWords(int64_t timeMs, std::string_view words);

// Stores a sample of the 19 statistics words for the run (spaced as above).
void RecordSample(Store &store, int64_t activity, int64_t run, const uint32_t *words);

// The run's samples, oldest first.
std::vector<Sample> RunSamples(Store &store, int64_t run);
// The run's newest sample.
std::optional<Sample> LastSample(Store &store, int64_t run);

// What a running run shows: from its start time and its newest samples.
struct LiveProgress {
    uint64_t read = 0, written = 0;
    double rate = 0;                   // records written (else read) per second, recently
    std::optional<double> share;       // 0..1 of the expected records read
    std::optional<double> secondsLeft; // once enough has run to guess
};
LiveProgress ProgressOf(const std::vector<Sample> &samples, int64_t startedMs);

} // namespace rdcsm
