// SPDX-License-Identifier: Apache-2.0
// `rdcsm init`: a home directory that is ready to use - quarry.ini naming
// it, links to the programs and connectors of this installation (or of the
// build tree rdcsm runs from), and the server manager's database. What is
// already there is kept, so running it again changes nothing.
#pragma once

#include <string>
#include <vector>

namespace rdcsm {

// A file of the installation and the name of its link in a home.
struct HomeLink {
    std::string target, name;
};

// The default home: $XDG_STATE_HOME/rdx/home, else ~/.local/state/rdx/home;
// empty when neither variable is set.
std::string DefaultHomeFolder();

// The programs (rdcsm, rdrun) and connectors (*.rdx) beside the running
// rdcsm: in the build tree when it runs from there, else installed.
std::vector<HomeLink> InstalledFiles();

// Sets up the home at folder (the default when empty) and prints what it
// did and how to use the home. 0, or 1 after a message on failure.
int InitHome(const std::string &folder);

} // namespace rdcsm
