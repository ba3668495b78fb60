// SPDX-License-Identifier: Apache-2.0
// The worker pool, the watcher of silent clients and the exchange of one
// request.
#include "pipe_server.h"

#include "ask_server.h"
#include "checkpointer.h"
#include "host_watch.h"
#include "lease.h"
#include "message_limit.h"

#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>

namespace rdcsm {

using Clock = std::chrono::steady_clock;

namespace {

// How often a fresh client is given way to before it is held: a client sends
// as soon as it is connected, so nearly every request is there by then.
constexpr int kYields = 64;
constexpr std::chrono::milliseconds kCheckpointInterval{250};

bool RequestArrives(RDIPCHandle connection) {
    for (int tries = 0; tries < kYields; ++tries) {
        if (RDIPCPeek(connection) != 0) return true;
        std::this_thread::yield();
    }
    return RDIPCPeek(connection) != 0;
}

} // namespace

PipeServer::~PipeServer() {
    if (listener_ != nullptr) RDIPCClose(listener_);
}

bool PipeServer::Start(std::string &error) {
    // Measured now rather than at the first answer.
    MessageLimit();
    if (!events_.Open(error)) return false;
    listener_ = RDIPCCreate(kPipeName);
    if (listener_ != nullptr) return true;
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
    events_.Stop();
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
    state_.host = options_.host.empty() ? MachineName() : options_.host;
    state_.leaseMs = options_.lease.count();
    HostWatch hosts(state_, options_.hostCheck);
    std::thread watcher([this] { Watch(); });
    std::unique_lock lock(mutex_);
    StartWorker();
    stopped_.wait(lock, [this] { return state_.stopping.load(); });
    // Every wait for a client ends; no worker starts another after it.
    shutdown(RDIPCDescriptor(listener_), SHUT_RD);
    std::vector<std::thread> workers = std::move(workers_);
    lock.unlock();
    for (std::thread &worker : workers)
        worker.join();
    watcher.join();
    idle_.CloseAll();
    // The pipe is gone with the serving: its socket file is removed.
    RDIPCClose(listener_);
    listener_ = nullptr;
    checkpointer.reset(); // may take the store's lock for its last pass
}

// Called with the lock held.
void PipeServer::StartWorker() {
    try {
        workers_.emplace_back([this] { Work(); });
        ++running_;
        ++waiting_;
    } catch (const std::system_error &) {
        // the workers there are serve on
    }
}

void PipeServer::Work() {
    // Short pauses while giving way to a client are meant as short.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    while (!state_.stopping) {
        RDIPCHandle connection = TakeClient();
        if (connection == nullptr) continue;
        Busy();
        Handle(connection);
    }
    std::lock_guard guard(mutex_);
    --waiting_;
    --running_;
}

// The next client; null after a stop or a failure.
RDIPCHandle PipeServer::TakeClient() {
    RDIPCHandle connection = RDIPCTakeClient(listener_);
    if (connection != nullptr || state_.stopping) return connection;
    // Out of descriptors, a held connection is let go to free one; after
    // another failure the client is tried again after a moment, not at once.
    const bool outOfDescriptors = errno == EMFILE || errno == ENFILE;
    if (!outOfDescriptors || !idle_.LetGoOldest())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return nullptr;
}

// A worker takes a client: another is started when none is left waiting.
void PipeServer::Busy() {
    std::lock_guard guard(mutex_);
    --waiting_;
    if (waiting_ == 0 && running_ < options_.maxWorkers && !state_.stopping) StartWorker();
}

// A worker is done with its client but for closing: it counts as waiting,
// so that a client quick to come again does not start another.
void PipeServer::Available() {
    std::lock_guard guard(mutex_);
    ++waiting_;
}

void PipeServer::Handle(RDIPCHandle connection) {
    if (!RequestArrives(connection)) {
        idle_.Hold(connection, Clock::now() + options_.timeout);
        Available();
        return;
    }
    Serve(connection);
    Available();
    RDIPCClose(connection);
    if (state_.stopping) Stop();
}

// The watcher: serves the held connections whose request came and lets go
// of those whose time is over, until the stop.
void PipeServer::Watch() {
    for (;;) {
        const PipeEvents::Event event = events_.Wait();
        if (event.kind == PipeEvents::kStop) return;
        if (event.kind == PipeEvents::kTimer) {
            idle_.Expire();
            continue;
        }
        RDIPCHandle connection = idle_.Take(event.id);
        if (connection == nullptr) continue;
        Serve(connection);
        RDIPCClose(connection);
        if (state_.stopping) Stop();
    }
}

bool PipeServer::ReadRequest(RDIPCHandle connection, std::vector<uint8_t> &request) {
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
    // The request is there or the client has gone; the bound is for a
    // connection that says otherwise.
    RDIPCSetTimeout(connection, static_cast<uint32_t>(options_.timeout.count()));
    std::vector<uint8_t> request;
    try {
        if (!ReadRequest(connection, request)) return;
        std::vector<uint8_t> answer = Dispatch(state_, request, RDIPCPeerProcess(connection));
        request = {};
        // One message to a fresh connection: the send does not wait.
        uint32_t written = 0;
        RDIPCWrite(connection, answer.data(), static_cast<uint32_t>(answer.size()), &written);
    } catch (const std::bad_alloc &) {
        // the connection ends without an answer
    }
}

} // namespace rdcsm
