// SPDX-License-Identifier: Apache-2.0
// The home a copy runs in: made on first use and served by a server
// manager that is left running for the next copy.
#pragma once

#include <string>
#include <vector>

namespace rdx {

// $XDG_STATE_HOME/rdx/copy, else ~/.local/state/rdx/copy; empty when
// neither variable is set.
std::string DefaultCopyHome();

// The home at folder (the default when empty), set up with `rdcsm init`
// when it holds no quarry.ini. False with error when it cannot be.
bool PrepareHome(const std::string &folder, std::string &home, std::string &error);

// Starts `rdcsm serve --detach` in home unless `rdcsm status` says a
// server manager answers there.
bool EnsureServer(const std::string &home, std::string &error);

// Runs `rdcsm -c HOME ARGS...`, its output kept in output.
int Rdcsm(const std::string &home, const std::vector<std::string> &args, std::string &output);

} // namespace rdx
