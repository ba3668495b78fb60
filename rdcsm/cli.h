// SPDX-License-Identifier: Apache-2.0
// The command-line tool: rdcsm SUBCOMMAND [options]; without a subcommand
// it serves the pipe with its defaults.
#pragma once

namespace rdcsm {

int RunCli(int argc, char **argv);

} // namespace rdcsm
