// SPDX-License-Identifier: Apache-2.0
// `rdcsm serve`: the server manager in the foreground (or detached), until
// a shutdown request, SIGINT or SIGTERM; with the status page on threads
// of its own when asked for.
#pragma once

#include "http_server.h"
#include "pipe_server.h"
#include "store_uri.h"
#include "tool_request.h"

#include <string>

namespace rdcsm {

struct ServeSettings {
    StoreUri store;
    ServeOptions options;
    uint32_t translationMode = 2;
    bool detach = false;
    // Answers the tool's subcommands (none: the tool opens the store).
    ToolRunner tool = nullptr;
    // The status page (http_server.h); not served unless enabled.
    http::HttpSettings http;
};

int Serve(const ServeSettings &settings);

} // namespace rdcsm
