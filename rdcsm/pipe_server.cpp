// The accept loop, the worker pool and the bounded exchange of one request.
#include "pipe_server.h"

#include "rdx_status.h"

#include <algorithm>

namespace rdcsm {

using Clock = std::chrono::steady_clock;

namespace {

// Sleeps a growing pause (20 µs to 2 ms) while polling a connection.
void Pause(std::chrono::microseconds &pause) {
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(2000));
}

} // namespace

PipeServer::~PipeServer() {
    if (instance_ != nullptr) RDIPCClose(instance_);
}

bool PipeServer::Start(std::string &error) {
    instance_ = RDIPCCreate(kPipeName);
    if (instance_ == nullptr) {
        error = "cannot create the pipe RDCSMP (is a server manager running already, or is "
                "the pipe folder not private?)";
        return false;
    }
    return true;
}

void PipeServer::Stop() {
    state_.stopping = true;
    if (woken_.exchange(true)) return;
    // Wakes the accepting thread, which waits in accept.
    if (RDIPCHandle wake = RDIPCOpen(kPipeName, 0)) RDIPCClose(wake);
}

void PipeServer::Run() {
    while (!state_.stopping) {
        if (RDIPCWaitForConnection(instance_) == nullptr) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (state_.stopping) break;
        // The next instance first, so that the pipe never stops listening.
        RDIPCHandle next = nullptr;
        while ((next = RDIPCCreate(kPipeName)) == nullptr && !state_.stopping)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Enqueue(instance_);
        instance_ = next;
        if (next == nullptr) break;
    }
    {
        std::lock_guard guard(mutex_);
        closing_ = true;
    }
    ready_.notify_all();
    for (std::thread &worker : workers_)
        worker.join();
    workers_.clear();
    for (RDIPCHandle left : queue_)
        RDIPCClose(left);
    queue_.clear();
    if (instance_ != nullptr) RDIPCClose(instance_);
    instance_ = nullptr;
}

void PipeServer::Enqueue(RDIPCHandle connection) {
    std::lock_guard guard(mutex_);
    queue_.push_back(connection);
    if (idle_ == 0 && workers_.size() < options_.maxWorkers) {
        try {
            workers_.emplace_back([this] { Work(); });
        } catch (const std::system_error &) {
            // the waiting workers take it
        }
    }
    ready_.notify_one();
}

void PipeServer::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        ready_.wait(lock, [this] { return closing_ || !queue_.empty(); });
        --idle_;
        if (queue_.empty()) return;
        RDIPCHandle connection = queue_.front();
        queue_.pop_front();
        lock.unlock();
        Serve(connection);
        RDIPCClose(connection);
        lock.lock();
    }
}

bool PipeServer::ReadRequest(RDIPCHandle connection, Clock::time_point deadline,
                             std::vector<uint8_t> &request) {
    auto pause = std::chrono::microseconds(20);
    while (RDIPCPeek(connection) == 0) {
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
    RDIPCSetNoWait(connection);
    std::vector<uint8_t> request;
    try {
        if (!ReadRequest(connection, deadline, request)) return;
        std::vector<uint8_t> answer = Dispatch(state_, request);
        request = {};
        auto pause = std::chrono::microseconds(20);
        uint32_t written = 0;
        while (RDIPCWrite(connection, answer.data(), static_cast<uint32_t>(answer.size()),
                          &written) == 0) {
            if (Clock::now() >= deadline) break;
            Pause(pause);
        }
    } catch (const std::bad_alloc &) {
        // the connection ends without an answer
    }
    if (state_.stopping) Stop();
}

} // namespace rdcsm
