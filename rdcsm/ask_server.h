// The requests that rdcsm itself sends to the server manager serving this
// home's pipe: the information request and the shutdown request, each sent
// once, without waiting for a pipe that is not there.
#pragma once

#include <cstdint>
#include <optional>

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

// The information answer; empty when no server manager answered in full.
std::optional<ServerInfo> AskInformation();

// True when a server manager acknowledged the shutdown request.
bool AskShutdown();

} // namespace rdcsm
