// SPDX-License-Identifier: Apache-2.0
// The pipe loop: a pool of workers waits for clients on the pipe RDCSMP (in
// the listening socket itself, whose wake-ups keep a request and its worker
// on one processor). A worker that takes a client gives way to it for a
// moment: a client that has sent its request by then is served at once; one
// that has not is held without a worker (idle_connections.h) by the watcher
// thread, which serves it when its request comes and lets it go when its
// time-out passes or newer silent clients need its place. Every request is
// answered with one message and the connection ended. A worker that takes a
// client while no other waits starts another, up to a limit. A stop shuts
// the listening socket down, which ends every wait without any use of the
// pipe, so it works even after the pipe's folder was removed.
#pragma once

#include "idle_connections.h"
#include "pipe_events.h"
#include "requests.h"

#include "rdplat_ipc.h"

#include <chrono>
#include <condition_variable>
#include <string>
#include <thread>
#include <vector>

namespace rdcsm {

inline constexpr const char *kPipeName = "RDCSMP";

struct ServeOptions {
    // How long a client may take to send its request.
    std::chrono::milliseconds timeout{5000};
    unsigned maxWorkers = 32;
    // How often the hosts of running runs are looked for (host_watch.h).
    std::chrono::milliseconds hostCheck{2000};
    // This server manager's name among the hosts of one store (default:
    // the machine's host name), and how long a run's lease holds without
    // renewal; leases are renewed every third of it.
    std::string host{};
    std::chrono::milliseconds lease{15000};
};

class PipeServer {
  public:
    PipeServer(ServerState &state, ServeOptions options)
        : state_(state), options_(options), idle_(events_) {}
    ~PipeServer();
    PipeServer(const PipeServer &) = delete;
    PipeServer &operator=(const PipeServer &) = delete;

    // Creates the pipe; false (error set) when it cannot, e.g. when another
    // server manager serves it already.
    bool Start(std::string &error);
    // Serves until a shutdown request or Stop; then ends every worker.
    void Run();
    // Asks the loop to end (from any thread).
    void Stop();

  private:
    void StartWorker();
    void Work();
    void Watch();
    RDIPCHandle TakeClient();
    void Busy();
    void Available();
    void Handle(RDIPCHandle connection);
    void Serve(RDIPCHandle connection);
    bool ReadRequest(RDIPCHandle connection, std::vector<uint8_t> &request);

    ServerState &state_;
    ServeOptions options_;
    RDIPCHandle listener_ = nullptr;
    PipeEvents events_;
    IdleConnections idle_;
    std::mutex mutex_;
    std::condition_variable stopped_;
    std::vector<std::thread> workers_;
    unsigned waiting_ = 0; // workers waiting for a client
    unsigned running_ = 0; // workers not yet ended
};

} // namespace rdcsm
