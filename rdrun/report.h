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

} // namespace rdrun
