// SPDX-License-Identifier: Apache-2.0
#include "server_tell.h"

#include "ask_server.h"

#include "rdplat.h"
#include "visible_text.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace rdcsm {

namespace {

constexpr const char *kPipeName = "RDCSMP";
constexpr unsigned kPipePollMs = 20;

// "1 client", "2 clients".
std::string Counted(uint32_t count, const char *one, const char *many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string HomeText() {
    const char *home = RDFileExeDir();
    return home != nullptr && *home != '\0' ? rdxc::VisibleText(home) : "(no home directory)";
}

void NoAnswer(uint32_t waitMs) {
    std::fprintf(stderr,
                 "rdcsm: the server manager took the request but gave no answer within %u ms\n",
                 waitMs);
}

// Waits up to waitMs for the pipe to be gone; true when it went.
bool PipeGone(uint32_t waitMs) {
    for (uint32_t waited = 0; RDIPCExists(kPipeName, 0) != 0; waited += kPipePollMs) {
        if (waited >= waitMs) return false;
        usleep(kPipePollMs * 1000);
    }
    return true;
}

} // namespace

int TellStatus(uint32_t waitMs) {
    ServerInfo info;
    switch (AskInformation(waitMs, info)) {
    case Asked::kNoServer:
        std::printf("no server manager is running for the home %s\n", HomeText().c_str());
        return 1;
    case Asked::kNoAnswer:
        NoAnswer(waitMs);
        return 1;
    case Asked::kAnswered:
        break;
    }
    std::printf("server manager running in process %u for the home %s\n"
                "  clients attached: %u\n"
                "  runs: %u queued, %u running\n"
                "  defined: %s, %s\n",
                info.process, HomeText().c_str(), info.attached, info.queued, info.running,
                Counted(info.activities, "activity", "activities").c_str(),
                Counted(info.links, "link", "links").c_str());
    // A value that clients set for their own use; nothing sets one by default.
    if (info.state != 0) std::printf("  state value set by a client: %u\n", info.state);
    return 0;
}

int StopServer(uint32_t waitMs) {
    switch (AskShutdown(waitMs)) {
    case Asked::kAnswered:
        break;
    case Asked::kNoServer:
        std::fprintf(stderr, "rdcsm: no server manager is running for the home %s\n",
                     HomeText().c_str());
        return 1;
    case Asked::kNoAnswer:
        NoAnswer(waitMs);
        return 1;
    }
    if (PipeGone(waitMs))
        std::printf("stopped the server manager of the home %s\n", HomeText().c_str());
    else
        std::printf("asked the server manager of the home %s to stop; it is still finishing "
                    "its requests\n",
                    HomeText().c_str());
    return 0;
}

} // namespace rdcsm
