// SPDX-License-Identifier: Apache-2.0
// The tool's subcommands that read or change stored items, run on a store:
// in the server manager for the tool request, or in the tool itself when
// no server manager serves the database.
#pragma once

#include "tool_request.h"

namespace rdcsm {

// What the subcommand prints (export: the job file's text) and its exit
// status; a database failure is told in err with status 1.
ToolAnswer RunToolCommand(Store &store, const ToolCommand &command);

} // namespace rdcsm
