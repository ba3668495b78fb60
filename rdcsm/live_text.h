// SPDX-License-Identifier: Apache-2.0
// What `rdcsm runs` and `list` tell of a running run from its progress
// samples: "records 412,000  rate 95,000/s  38%  about 1 min left".
#pragma once

#include "samples.h"

#include <optional>
#include <string>

namespace rdcsm {

// The words of the progress: the records written (else read) and the
// recent rate, then the share done and the time left when they are known.
std::string LiveText(const LiveProgress &live);

// The words of the run's progress from its samples; none before its first.
std::optional<std::string> RunLiveText(Store &store, int64_t run, int64_t startedMs);

} // namespace rdcsm
