// Running one named activity in this process, as a host does.
#pragma once

#include "rdx_activity.h"

#include <cstdint>
#include <functional>
#include <string>

namespace rdrun {

constexpr uint32_t kStatisticsWords = 19;

struct RunResult {
    bool started = false;    // RDActivityInit succeeded: the activity ran
    uint32_t status = 0;     // the first failure of the run, else 0
    uint32_t statusWord = 0; // the activity's status word at its end
    uint32_t statistics[kStatisticsWords] = {};
    std::string message; // the text of the status, or of the status word
};

// Called about every `interval` milliseconds while the activity runs, with
// the live statistics record.
using ProgressFn = std::function<void(const uint32_t *statistics)>;

// Starts the activity of block with RDActivityInit, launches it on a
// thread of its own while `progress` is called, ends it and tells the
// server manager that it is done. Needs the attachment to the server
// manager.
RunResult RunBlock(ActivityBlock &block, const ProgressFn &progress, unsigned interval);

// Attaches to the server manager, opens the activity by name, starts it
// with RDActivityInit, launches it on a thread of its own while `progress`
// is called, ends it and tells the server manager that it is done. The
// platform and the system must be started.
RunResult HostRun(const std::string &name, const ProgressFn &progress, unsigned interval);

} // namespace rdrun
