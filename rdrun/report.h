// SPDX-License-Identifier: Apache-2.0
// What rdrun prints when the activity has ended.
#pragma once

#include "host_run.h"

#include <cstdio>

namespace rdrun {

// The statistics of the run (the counts that are not 0) and its final
// status in words.
void PrintReport(std::FILE *out, const std::string &name, const RunResult &result);

// The catalogue's text of a status number.
std::string StatusText(uint32_t status);

// A log entry's text without what the log adds around the activity's own
// words: "ERROR: " before them, "; connection ...", "; number N" after.
std::string OwnWords(std::string text);

// The outcome of a run in one line: "Ended successfully: ...", "Ended
// with problems: ..." (it finished, having logged failures such as skipped
// records), "Stopped (status 1542): ..." or "Failed (status N): ..."; words
// that begin with that label follow the status in one sentence: "Stopped
// (status 1542) on request after 874,200 records ...".
std::string OutcomeLine(const RunResult &result);

// The exit status of a run: 0 when it ended successfully, 2 when it ended
// with problems, 1 when it failed or was stopped.
int OutcomeStatus(const RunResult &result);

} // namespace rdrun
