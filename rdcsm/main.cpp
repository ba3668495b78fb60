#include "pipe_server.h"

#include "rdplat.h"

#include <cstdio>

int main(int argc, char **argv) {
    (void)argc;
    RDPlatInit(argv[0]);
    rdcsm::ServerState state;
    rdcsm::DbError error;
    if (!state.store.Open("rdcsm.db", error)) return 1;
    rdcsm::PipeServer server(state, {});
    std::string message;
    if (!server.Start(message)) return 1;
    server.Run();
    return 0;
}
