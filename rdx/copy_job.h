// SPDX-License-Identifier: Apache-2.0
// The job file of one copy: a link for each end and an rdcopy activity.
#pragma once

#include "copy_options.h"
#include "endpoint.h"

#include <string>

namespace rdx {

struct CopyJob {
    std::string name; // the activity's
    std::string text; // the TOML job file
    Endpoint target;  // with the table a new SQL table is given
    bool createsTarget = false;
};

// The activity name made from the ends: "SOURCE_to_TARGET" of their tables
// or file names, each character other than a letter, digit or '_' made '_'.
std::string DefaultCopyName(const Endpoint &source, const Endpoint &target);

// Writes the job. False with error (a usage fault) when an end lacks its
// table, an option does not fit the ends, or --name is not a plain name.
bool BuildCopyJob(const CopyOptions &options, const Endpoint &source, Endpoint target, CopyJob &job,
                  std::string &error);

} // namespace rdx
