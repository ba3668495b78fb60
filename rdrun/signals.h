// SPDX-License-Identifier: Apache-2.0
// How rdrun ends on a signal: SIGTERM, SIGINT and SIGHUP ask the running
// activity to stop, as the server manager's own request does, so that it
// ends at its next library call and is recorded as ended with its
// statistics. SIGUSR1 asks only the run at hand to stop (its server manager
// lost the run's lease to another host); a host serving a queue goes on
// with the next run. SIGPIPE is ignored: a closed standard output or error makes
// the progress and the report fail quietly, never the run.
#pragma once

#include "rdx_activity.h"

namespace rdrun {

// Installs the handlers; standard input, output and error that are closed
// are opened on /dev/null first, so that no file the run opens takes their
// numbers and receives the report.
void CatchSignals();

// The signal that asked to stop, 0 while none did.
int StopSignal();

// Stores the request to stop into the activity's block once a stop signal
// (or a stop of the run) came; called from the thread that watches the run.
void PassStop(ActivityBlock &block);

// Forgets a stop of the run at hand, before the next run starts.
void ClearRunStop();

// The exit status of a run ended by a stop signal, as shells give it
// (128 + the signal's number), or `code` when no signal came. A run that
// ended successfully before a late signal could stop it keeps status 0: the
// status says what happened to the data.
int ExitStatus(int code);

} // namespace rdrun
