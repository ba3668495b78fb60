// SPDX-License-Identifier: Apache-2.0
// The programs rdx drives, found and run as child processes: arguments are
// passed as argv, never through a shell.
#pragma once

#include <string>
#include <vector>

namespace rdx {

// The path of rdcsm or rdrun: in the build tree when rdx runs from there,
// else beside rdx.
std::string ProgramPath(const std::string &name);

// Runs argv[0] with the arguments and waits for it. Its output goes to
// *output (stdout and stderr together) when given, else to rdx's own.
// SIGINT, SIGTERM and SIGHUP that rdx receives meanwhile are passed to it.
// The exit status, 128 + the signal that ended it, or -1 when it could not
// be started (with error).
int RunProgram(const std::vector<std::string> &argv, std::string *output, std::string &error);

} // namespace rdx
