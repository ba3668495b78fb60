// SPDX-License-Identifier: Apache-2.0
// `rdx copy`: parse, write the job, define it in the home and run it.
#pragma once

#include <string>
#include <vector>

namespace rdx {

// The arguments after "copy"; returns the exit status (rdrun's for a run).
int RunCopy(const std::vector<std::string> &args);

} // namespace rdx
