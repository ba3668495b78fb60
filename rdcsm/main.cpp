// SPDX-License-Identifier: Apache-2.0
// rdcsm: the server manager and its command-line tool.
#include "cli.h"

int main(int argc, char **argv) {
    return rdcsm::RunCli(argc, argv);
}
