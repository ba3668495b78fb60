// SPDX-License-Identifier: Apache-2.0
// Running one named activity in this process, as a host does.
#pragma once

#include "rdx_activity.h"

#include <cstdint>
#include <functional>
#include <string>

namespace rdrun {

constexpr uint32_t kStatisticsWords = 19;

struct RunResult {
    bool started = false; // RDActivityInit succeeded: the activity ran
    // The first failure of the run: the activity's, else the server
    // manager's failure to record the run's end; 0 when there was none.
    uint32_t status = 0;
    uint32_t statusWord = 0; // the activity's status word at its end
    uint32_t endStatus = 0;  // CSMgrDoneActivity's: not 0 when the end was not recorded
    uint32_t endCode = 0;    // the end code told (or to be told) to the server manager
    uint32_t statistics[kStatisticsWords] = {};
    // The text of the status, or of the status word; for an end that was not
    // recorded it says so, after the activity's own failure if there was one.
    std::string message;
    // The name is a link's, not an activity's: nothing was run.
    bool namesLink = false;
};

// Called about every `interval` milliseconds while the activity runs, with
// the live statistics record.
using ProgressFn = std::function<void(const uint32_t *statistics)>;

// Starts the activity of block with RDActivityInit, launches it on a
// thread of its own while `progress` is called and the server manager
// receives samples of its progress (sampler.h), ends it and tells the
// server manager that it is done. A run whose end the server manager did
// not record has failed, whatever the activity did. Needs the attachment to
// the server manager.
RunResult RunBlock(ActivityBlock &block, const ProgressFn &progress, unsigned interval);

// Attaches to the server manager, opens the activity by name, starts it
// with RDActivityInit, launches it on a thread of its own while `progress`
// is called, ends it and tells the server manager that it is done. The
// platform and the system must be started.
RunResult HostRun(const std::string &name, const ProgressFn &progress, unsigned interval);

} // namespace rdrun
