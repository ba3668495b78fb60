// SPDX-License-Identifier: Apache-2.0
// A run's outcome in the words rdrun says it: queued, running, ended,
// failed, stopped, lost. An ended run is told by its end code: 0 ended
// well, a stop status (the run was asked to stop), any other a failure; a
// run whose host died without telling its end is lost.
#pragma once

#include "store.h"

#include <cstdint>

namespace rdcsm {

// The statuses of a run that was asked to stop, which rdrun sends as the
// end code of a stopped run.
inline constexpr int64_t kStopEndCode = 1542, kStopNowEndCode = 1543;

enum class Outcome { kQueued, kRunning, kEnded, kFailed, kStopped, kLost };
inline constexpr int kOutcomes = 6;

inline Outcome RunOutcome(int64_t state, int64_t endCode) {
    if (state == kQueued) return Outcome::kQueued;
    if (state == kRunning) return Outcome::kRunning;
    if (state == kHostLost) return Outcome::kLost;
    if (endCode == 0) return Outcome::kEnded;
    if (endCode == kStopEndCode || endCode == kStopNowEndCode) return Outcome::kStopped;
    return Outcome::kFailed;
}

inline const char *OutcomeWord(Outcome outcome) {
    static const char *const kWords[kOutcomes] = {"queued", "running", "ended",
                                                  "failed", "stopped", "lost"};
    return kWords[static_cast<int>(outcome)];
}

// The same condition in SQL over the columns state and end_code, for
// counting runs by outcome.
inline const char *OutcomeCondition(Outcome outcome) {
    static const char *const kConditions[kOutcomes] = {
        "state = 0",
        "state = 1",
        "state = 2 AND coalesce(end_code, 0) = 0",
        "state = 2 AND coalesce(end_code, 0) NOT IN (0, 1542, 1543)",
        "state = 2 AND end_code IN (1542, 1543)",
        "state = 3"};
    return kConditions[static_cast<int>(outcome)];
}

} // namespace rdcsm
