// SPDX-License-Identifier: Apache-2.0
// What the status page reads of the store: runs with their live progress,
// a run's log, statistics and samples, an activity's definition and recent
// runs. Each read is one set of queries, done under the server's lock by
// the caller; the page and the API render the result after the lock is
// released.
#pragma once

#include "samples.h"
#include "store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rdcsm::http {

// A run as the pages and the API show it.
struct RunView {
    int64_t run = 0, state = 0, endCode = 0, queuedMs = 0;
    std::string activity;
    std::optional<int64_t> startedMs, endedMs, durationMs;
    std::optional<std::string> host;
    uint64_t records = 0, read = 0, written = 0; // records: written, else read
    double rate = 0;                             // records a second
    std::optional<double> share, secondsLeft;    // of a running run
};

// "queued", "running" or "ended" (every end, lost included).
const char *StateWord(const RunView &run);
// The outcome as `rdcsm runs` prints it.
const char *OutcomeText(const RunView &run);

// Which runs a list shows; empty texts for no filter.
struct RunFilter {
    std::string activity, outcome, day;
};
// False when the outcome is not an outcome word or the day not YYYY-MM-DD.
bool ValidFilter(const RunFilter &filter, std::string &error);

// The most runs a list shows: the newest ones.
inline constexpr int kListedRuns = 200;

// The newest runs that pass the filter (checked with ValidFilter), newest first.
std::vector<RunView> ReadRuns(Store &store, const RunFilter &filter, int limit = kListedRuns);

// One run; empty when there is none of the number.
std::optional<RunView> ReadOneRun(Store &store, int64_t run);

struct LogLine {
    int64_t timeMs = 0;
    uint32_t number = 0; // without its flag bits
    bool informational = false;
    std::string text; // the record's own, else its message's text; secrets masked
};

// The most log records a run's page shows: its last ones.
inline constexpr int kShownLogLines = 2000;

struct RunDetail {
    RunView run;
    std::vector<LogLine> log;
    std::optional<std::size_t> failing; // index in log of the line that told the failure
    std::vector<uint32_t> statistics;   // the run's last statistics record; empty for none
    std::vector<Sample> samples;
};
std::optional<RunDetail> ReadRun(Store &store, int64_t run);

struct ActivityRow {
    std::string name;
    std::optional<RunView> last; // its newest run
};
std::vector<ActivityRow> ReadActivities(Store &store);

// The most runs an activity's page draws.
inline constexpr int kHistoryRuns = 30;

struct ActivityDetail {
    std::string name;
    std::string definition;    // as `rdcsm show` prints it, passwords masked
    std::vector<RunView> runs; // the newest kHistoryRuns, oldest first
};
std::optional<ActivityDetail> ReadActivity(Store &store, const std::string &name);

} // namespace rdcsm::http
