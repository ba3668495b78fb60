// SPDX-License-Identifier: Apache-2.0
// The tool's subcommands that read or change stored items (define, export,
// list, runs, show, log, stats, run), carried to the server manager that
// serves the database, so that the tool and the server never disagree: the
// server runs the subcommand on its own store and sends back what it
// printed. Only a tool that finds no server manager opens the database.
#pragma once

#include "csmgr/message.h"
#include "store.h"

#include <cstdint>
#include <string>

namespace rdcsm {

// The request's code, outside the library's codes.
inline constexpr uint32_t kToolRequest = 64;
// The largest tool request: its texts are names and paths.
inline constexpr uint32_t kMaxToolRequest = 64 * 1024;

struct ToolCommand {
    std::string command;   // "define", "export", "list", "runs", ...
    std::string name;      // the activity's (or link's) name
    std::string file;      // define's job file as the server opens it (absolute)
    std::string shownFile; // the same file as the user named it
    bool showSecrets = false, resume = false, checkOnly = false, json = false,
         withholdSecrets = false, fullRefresh = false;
};

// What a subcommand printed and its exit status.
struct ToolAnswer {
    int status = 0;
    std::string out, err;
};

// Runs a subcommand on a store; set by the rdcsm program, whose server
// answers the tool request through it.
using ToolRunner = ToolAnswer (*)(Store &, const ToolCommand &);

// The request: the database's real path and the command, as NUL-ended texts.
std::string EncodeToolRequest(const std::string &database, const ToolCommand &command);
// False for a request that is not one (a text without its NUL, too few).
bool DecodeToolRequest(rdx::csmgr::ConstBytes request, std::string &database, ToolCommand &command);

// The answer after the header: word 16 1 when the server keeps that
// database (0: another, which the tool opens itself), word 20 the exit
// status, word 24 the length of the output, then the output and the errors.
inline constexpr std::size_t kToolServedAt = 16, kToolStatusAt = 20, kToolOutLengthAt = 24,
                             kToolTextAt = 28;

// The real path of a database file; empty when it cannot be resolved.
std::string RealDatabasePath(const std::string &path);

} // namespace rdcsm
