// SPDX-License-Identifier: Apache-2.0
// The tool request's texts and its handler in the server manager.
#include "tool_request.h"

#include "requests.h"

#include "rdx_status.h"

#include <climits>
#include <cstdlib>
#include <vector>

namespace rdcsm {

using namespace rdx::csmgr;

namespace {

constexpr int kFlags = 6;

void Add(std::string &out, const std::string &text) {
    out += text;
    out += '\0';
}

} // namespace

std::string EncodeToolRequest(const std::string &database, const ToolCommand &command) {
    std::string out(kHeaderSize, '\0');
    for (const std::string *text :
         {&database, &command.command, &command.name, &command.file, &command.shownFile})
        Add(out, *text);
    for (bool flag : {command.showSecrets, command.resume, command.checkOnly, command.json,
                      command.withholdSecrets, command.fullRefresh})
        out += flag ? '1' : '0';
    return out;
}

bool DecodeToolRequest(ConstBytes request, std::string &database, ToolCommand &command) {
    std::size_t at = kHeaderSize;
    for (std::string *text :
         {&database, &command.command, &command.name, &command.file, &command.shownFile}) {
        auto found = TextAt(request, at, request.size() - std::min(at, request.size()));
        if (!found) return false;
        *text = *found;
        at += found->size() + 1;
    }
    if (request.size() != at + kFlags) return false;
    bool *flags[kFlags] = {&command.showSecrets, &command.resume,          &command.checkOnly,
                           &command.json,        &command.withholdSecrets, &command.fullRefresh};
    for (bool *flag : flags)
        *flag = request[at++] == '1';
    return true;
}

std::string RealDatabasePath(const std::string &path) {
    char real[PATH_MAX];
    if (path.empty() || realpath(path.c_str(), real) == nullptr) return {};
    return real;
}

// Runs the subcommand on the server's store when the request names the
// database this server keeps; a server without a tool answers as for an
// unknown code, so that the tool opens the database itself.
uint32_t HandleTool(Exchange &exchange) {
    ServerState &server = exchange.server;
    if (server.tool == nullptr) return RDSTATUS_CSMUNKNOWNCODE;
    std::string database;
    ToolCommand command;
    if (!DecodeToolRequest(exchange.request, database, command)) return RDSTATUS_CSMBADREQUEST;
    exchange.answer.assign(kToolTextAt, 0);
    if (database.empty() || database != server.database) return 0;
    const ToolAnswer done = server.tool(server.store, command);
    const std::size_t size = kToolTextAt + done.out.size() + done.err.size();
    if (!Answerable(size)) return RDSTATUS_CSMTOOLARGE;
    exchange.answer.resize(size);
    Bytes out = exchange.Out();
    PutU32(out, kToolServedAt, 1);
    PutU32(out, kToolStatusAt, static_cast<uint32_t>(done.status));
    PutU32(out, kToolOutLengthAt, static_cast<uint32_t>(done.out.size()));
    std::copy(done.out.begin(), done.out.end(), exchange.answer.begin() + kToolTextAt);
    std::copy(done.err.begin(), done.err.end(),
              exchange.answer.begin() + kToolTextAt + done.out.size());
    return 0;
}

} // namespace rdcsm
