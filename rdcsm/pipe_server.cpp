// The worker pool and the bounded exchange of one request.
#include "pipe_server.h"

#include "ask_server.h"
#include "checkpointer.h"
#include "host_watch.h"
#include "rdx_status.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <sys/prctl.h>

namespace rdcsm {

using Clock = std::chrono::steady_clock;

namespace {

// Sleeps a growing pause (20 µs to 2 ms) while polling a connection.
void Pause(std::chrono::microseconds &pause) {
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(2000));
}

constexpr int kYields = 64;
constexpr std::chrono::milliseconds kCheckpointInterval{250};

} // namespace

PipeServer::~PipeServer() {
    if (first_ != nullptr) RDIPCClose(first_);
}

bool PipeServer::Start(std::string &error) {
    first_ = RDIPCCreate(kPipeName);
    if (first_ != nullptr) return true;
    char folder[512];
    if (RDIPCFolderError(folder, sizeof folder) != 0) {
        error = std::string("cannot create the pipe RDCSMP: ") + folder;
    } else if (RDIPCExists(kPipeName, 0) != 0) {
        const std::optional<ServerInfo> info = AskInformation();
        error = "a server manager serves the pipe RDCSMP already";
        if (info) error += " (process " + std::to_string(info->process) + ")";
        error += "; rdcsm stop ends it";
    } else {
        error = "cannot create the pipe RDCSMP";
    }
    return false;
}

void PipeServer::Stop() {
    std::lock_guard guard(mutex_);
    state_.stopping = true;
    stopped_.notify_all();
}

void PipeServer::Run() {
    std::unique_ptr<Checkpointer> checkpointer;
    {
        std::lock_guard guard(state_.lock);
        try {
            checkpointer =
                std::make_unique<Checkpointer>(state_.store.Db(), state_.lock, kCheckpointInterval);
        } catch (const DbError &) {
            // a database without a file: the connection checkpoints by itself
        } catch (const std::exception &) {
        }
    }
    // Runs whose host died while no server manager served are found before
    // the first request is served.
    HostWatch hosts(state_, options_.hostCheck);
    {
        std::lock_guard guard(mutex_);
        StartWorker(first_);
        first_ = nullptr;
    }
    std::unique_lock lock(mutex_);
    stopped_.wait(lock, [this] { return state_.stopping.load(); });
    // Every worker waiting in accept takes one of these connections and ends.
    while (running_ > 0) {
        lock.unlock();
        if (RDIPCHandle wake = RDIPCOpen(kPipeName, 0)) RDIPCClose(wake);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        lock.lock();
    }
    std::vector<std::thread> workers = std::move(workers_);
    lock.unlock();
    for (std::thread &worker : workers)
        worker.join();
    checkpointer.reset(); // may take the store's lock for its last pass
}

// Called with the lock held.
void PipeServer::StartWorker(RDIPCHandle instance) {
    try {
        workers_.emplace_back([this, instance] { Work(instance); });
        ++running_;
        ++waiting_;
    } catch (const std::system_error &) {
        RDIPCClose(instance); // the workers there are serve on
    }
}

void PipeServer::Work(RDIPCHandle instance) {
    // Short pauses while polling a connection are meant as short.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    while (!state_.stopping) {
        if (RDIPCWaitForConnection(instance) == nullptr) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        {
            std::lock_guard guard(mutex_);
            --waiting_;
            if (waiting_ == 0 && running_ < options_.maxWorkers && !state_.stopping) {
                if (RDIPCHandle next = RDIPCCreate(kPipeName)) StartWorker(next);
            }
        }
        if (!state_.stopping) Serve(instance);
        RDIPCDisconnect(instance);
        std::lock_guard guard(mutex_);
        ++waiting_;
    }
    RDIPCClose(instance);
    std::lock_guard guard(mutex_);
    --waiting_;
    --running_;
}

bool PipeServer::ReadRequest(RDIPCHandle connection, Clock::time_point deadline,
                             std::vector<uint8_t> &request) {
    // A client sends as soon as it is connected: the first checks only give
    // way to it, later ones sleep a growing pause. The check never blocks;
    // the read that follows finds the message there.
    auto pause = std::chrono::microseconds(20);
    for (int tries = 0; RDIPCPeek(connection) == 0; ++tries) {
        if (tries < kYields) {
            std::this_thread::yield();
            continue;
        }
        if (Clock::now() >= deadline || state_.stopping) return false;
        Pause(pause);
    }
    uint8_t piece[4096];
    uint32_t got = 0, more = 0;
    if (RDIPCRead(connection, piece, sizeof piece, &got, &more) == 0) return false;
    request.assign(piece, piece + got);
    while (more != 0) {
        // The rest of the message is held by the handle already.
        const std::size_t at = request.size();
        if (at > kMaxRequest) return true; // refused by its length
        request.resize(at + 65536);
        if (RDIPCRead(connection, request.data() + at, 65536, &got, &more) == 0) return false;
        request.resize(at + got);
    }
    return true;
}

void PipeServer::Serve(RDIPCHandle connection) {
    const Clock::time_point deadline = Clock::now() + options_.timeout;
    std::vector<uint8_t> request;
    try {
        if (!ReadRequest(connection, deadline, request)) return;
        std::vector<uint8_t> answer = Dispatch(state_, request, RDIPCPeerProcess(connection));
        request = {};
        // One message to a fresh connection: the send does not wait.
        uint32_t written = 0;
        RDIPCWrite(connection, answer.data(), static_cast<uint32_t>(answer.size()), &written);
    } catch (const std::bad_alloc &) {
        // the connection ends without an answer
    }
    if (state_.stopping) Stop();
}

} // namespace rdcsm
