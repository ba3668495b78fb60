// Checkpoints of the write-ahead log off the request path: while the server
// runs, its connection does not checkpoint (wal_autocheckpoint=0), and this
// thread copies the log into the database every interval on a connection of
// its own (a passive checkpoint, which never blocks the writer). The
// checkpoint is also where the log is synced to disk with
// synchronous=NORMAL, so the interval bounds what a power loss can take.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace rdcsm {

class Checkpointer {
  public:
    Checkpointer(std::string path, std::chrono::milliseconds interval);
    ~Checkpointer();
    Checkpointer(const Checkpointer &) = delete;
    Checkpointer &operator=(const Checkpointer &) = delete;

  private:
    void Run();

    std::string path_;
    std::chrono::milliseconds interval_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace rdcsm
