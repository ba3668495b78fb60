#include "checkpointer.h"

#include "sqlite_db.h"

namespace rdcsm {

Checkpointer::Checkpointer(std::string path, std::chrono::milliseconds interval)
    : path_(std::move(path)), interval_(interval), thread_([this] { Run(); }) {}

Checkpointer::~Checkpointer() {
    {
        std::lock_guard guard(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void Checkpointer::Run() {
    Database db;
    DbError error;
    if (!db.Open(path_, error)) return;
    std::unique_lock lock(mutex_);
    while (!stop_) {
        wake_.wait_for(lock, interval_, [this] { return stop_; });
        lock.unlock();
        sqlite3_wal_checkpoint_v2(db.Handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr,
                                  nullptr);
        lock.lock();
    }
}

} // namespace rdcsm
