// SPDX-License-Identifier: Apache-2.0
// Runs a program with its standard input fed from a text and its standard output captured.
#pragma once

#include <string>
#include <vector>

namespace db2test {

struct ProgramResult {
    int exitStatus = -1; // -1 when the program did not exit normally
    bool timedOut = false;
    std::string output;
};

// Runs path with the current environment plus the NAME=value entries of extraEnv (which
// replace same-named ones). A program still running after 20 seconds is killed.
ProgramResult RunProgram(const std::string &path, const std::string &input,
                         const std::vector<std::string> &extraEnv);

} // namespace db2test
