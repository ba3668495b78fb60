// SPDX-License-Identifier: Apache-2.0
// The requests that rdcsm itself sends to the server manager serving this
// home's pipe: the information request and the shutdown request, each sent
// once, without waiting for a pipe that is not there, and waiting a bounded
// time for the answer of one that took the request.
#pragma once

#include "tool_request.h"

#include <cstdint>
#include <optional>
#include <string>

namespace rdcsm {

// What the information answer tells of the server manager.
struct ServerInfo {
    uint32_t process = 0;
    uint32_t attached = 0;
    uint32_t state = 0;
    uint32_t queued = 0;
    uint32_t running = 0;
    uint32_t activities = 0;
    uint32_t links = 0;
};

// How long a request waits for its answer unless told otherwise.
inline constexpr uint32_t kAnswerWaitMs = 10000;

// How a request went: answered in full; no server manager took it; or one
// took it and gave no whole answer within the wait (or a failing one).
enum class Asked { kAnswered, kNoServer, kNoAnswer };

Asked AskInformation(uint32_t waitMs, ServerInfo &info);
Asked AskShutdown(uint32_t waitMs);

// How long a tool request waits for its answer: a define loads connectors.
inline constexpr uint32_t kToolWaitMs = 120000;

// Runs the subcommand in the server manager serving this home, for the
// database at the real path database: kAnswered with what it printed, or
// kNoServer when none serves the pipe, when it keeps another database or
// has no tool, or when what it printed is more than one answer carries.
Asked AskTool(const std::string &database, const ToolCommand &command, ToolAnswer &answer);

// The information answer within kAnswerWaitMs; empty when none came in full.
std::optional<ServerInfo> AskInformation();

} // namespace rdcsm
