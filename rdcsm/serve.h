// `rdcsm serve`: the server manager in the foreground (or detached), until
// a shutdown request, SIGINT or SIGTERM.
#pragma once

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
};

int Serve(const ServeSettings &settings);

} // namespace rdcsm
