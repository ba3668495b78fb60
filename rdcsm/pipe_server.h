// The pipe loop: a pool of workers, each with a pipe instance of its own,
// waits for clients on the pipe RDCSMP (the instances share one listening
// socket, so the system hands each client to one waiting worker). A worker
// that takes a client while no other waits starts another, up to a limit.
// A worker waits for the request at most the time-out, answers it and ends
// the connection, so a silent or lying client holds a worker only that long.
#pragma once

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
    std::chrono::milliseconds timeout{5000};
    unsigned maxWorkers = 32;
    // How often the hosts of running runs are looked for (host_watch.h).
    std::chrono::milliseconds hostCheck{2000};
};

class PipeServer {
  public:
    PipeServer(ServerState &state, ServeOptions options) : state_(state), options_(options) {}
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
    void StartWorker(RDIPCHandle instance);
    void Work(RDIPCHandle instance);
    void Serve(RDIPCHandle connection);
    bool ReadRequest(RDIPCHandle connection, std::chrono::steady_clock::time_point deadline,
                     std::vector<uint8_t> &request);

    ServerState &state_;
    ServeOptions options_;
    RDIPCHandle first_ = nullptr;
    std::mutex mutex_;
    std::condition_variable stopped_;
    std::vector<std::thread> workers_;
    unsigned waiting_ = 0; // workers waiting for a client
    unsigned running_ = 0; // workers not yet ended
};

} // namespace rdcsm
