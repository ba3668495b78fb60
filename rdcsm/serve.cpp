// Serving: the store opened, the pipe created, signals turned into a stop.
#include "serve.h"

#include "rdplat_ipc.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace rdcsm {

namespace {

// The parent of a detached server waits for the pipe, then leaves.
int WaitForChild(pid_t child) {
    for (int i = 0; i < 200; ++i) {
        if (RDIPCExists(kPipeName, 0) != 0) {
            std::printf("rdcsm serving in process %d\n", static_cast<int>(child));
            return 0;
        }
        usleep(50000);
    }
    std::fprintf(stderr, "rdcsm: the detached server did not open its pipe\n");
    return 1;
}

bool Detach() {
    pid_t child = fork();
    if (child < 0) return false;
    if (child > 0) std::exit(WaitForChild(child));
    setsid();
    int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        close(null);
    }
    return true;
}

} // namespace

int Serve(const ServeSettings &settings) {
    if (settings.detach && !Detach()) {
        std::perror("rdcsm: fork");
        return 1;
    }
    // Signals are taken by a thread of their own; every other thread blocks them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    ServerState state;
    state.translationMode = settings.translationMode;
    DbError error;
    if (!state.store.Open(settings.database, error)) {
        std::fprintf(stderr, "rdcsm: cannot open the database %s: %s\n", settings.database.c_str(),
                     error.message.c_str());
        return 1;
    }
    PipeServer server(state, settings.options);
    std::string message;
    if (!server.Start(message)) {
        std::fprintf(stderr, "rdcsm: %s\n", message.c_str());
        return 1;
    }
    std::thread waiter([&server, signals] {
        int signal = 0;
        sigwait(&signals, &signal);
        server.Stop();
    });
    server.Run();
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    return 0;
}

} // namespace rdcsm
