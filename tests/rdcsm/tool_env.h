// SPDX-License-Identifier: Apache-2.0
// The rdcsm program run as the tool, in a test's temporary home: its
// database rdcsm.db there, its quarry.ini found on PATH.
#pragma once

#include "temp_home.h"

#include <string>

namespace rdcsmtest {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

// A text quoted for the shell.
std::string Quoted(const std::string &text);

// Runs `rdcsm --db HOME/rdcsm.db ARGUMENTS` (or --store with the test's
// PostgreSQL store, test_store.h) through the shell. Its standard
// output goes to a file read into out, unless stdoutTo gives another
// redirection (such as ">/dev/full" or ">&-"); its standard error into err.
// A tool that hangs is ended after 120 seconds (status 124), so that a hang
// fails the test instead of stopping the suite.
ToolRun RunTool(const rdtest::TempHome &home, const std::string &arguments,
                const std::string &stdoutTo = "");

// Copies a connector plug-in into the home as NAME.rdx.
void InstallConnector(const rdtest::TempHome &home, const std::string &file,
                      const std::string &name);

} // namespace rdcsmtest
