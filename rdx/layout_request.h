// SPDX-License-Identifier: Apache-2.0
// The description of a copy's ends that `rdrun --layout` reads, so that a
// dry run can show the fields the source gives and the table the target
// would make.
#pragma once

#include "copy_job.h"
#include "copy_options.h"
#include "endpoint.h"

#include <string>

namespace rdx {

// The [source] section, and a [target] one when the copy creates a table of
// a SQL target that can tell its CREATE TABLE unconnected. False with error
// when a value holds a line end, which the description cannot carry.
bool LayoutRequest(const CopyOptions &options, const Endpoint &source, const CopyJob &job,
                   std::string &text, std::string &error);

} // namespace rdx
