// SPDX-License-Identifier: Apache-2.0
// What the status page answers for a path: the pages, the API and the
// static files, read from the store under the server's lock (one short set
// of queries) and rendered after it is released. Independent of the HTTP
// library: the server (http_server.h) hands each GET here.
#pragma once

#include "requests.h"

#include <map>
#include <string>

namespace rdcsm::http {

struct Reply {
    int status = 200;
    std::string type; // the Content-Type
    std::string body;
};

// The reply to a GET of path (percent-decoded) with its query's values.
Reply Route(ServerState &state, const std::string &path,
            const std::map<std::string, std::string> &query);

} // namespace rdcsm::http
