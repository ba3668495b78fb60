// `rdcsm serve`: the server manager in the foreground (or detached), until
// a shutdown request, SIGINT or SIGTERM.
#pragma once

#include "pipe_server.h"

#include <string>

namespace rdcsm {

struct ServeSettings {
    std::string database;
    ServeOptions options;
    uint32_t translationMode = 2;
    bool detach = false;
};

int Serve(const ServeSettings &settings);

} // namespace rdcsm
