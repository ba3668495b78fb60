// SPDX-License-Identifier: Apache-2.0
// rdrun --serve: takes activities from the server manager's queue until
// stopped.
#pragma once

#include <cstdio>

namespace rdrun {

// Runs queued activities one after the other in this process, or in
// `workers` child processes (one activity per process at a time), until
// SIGTERM, SIGINT or SIGHUP: the activity running then is asked to stop,
// as the server manager would ask it, and ends cleanly. Workers get SIGTERM
// when the parent dies. Prints a line per run to
// out. Returns the exit status: 0, or 1 when the server manager could not
// be reached.
int Serve(unsigned workers, std::FILE *out);

} // namespace rdrun
