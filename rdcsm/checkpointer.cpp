// SPDX-License-Identifier: Apache-2.0
#include "checkpointer.h"

#include <string>

namespace rdcsm {

namespace {

// The header SQLite writes before each page in the log.
constexpr int64_t kFrameHeaderBytes = 24;

int64_t PageSize(Database &db) {
    Statement size(db, "PRAGMA page_size");
    return size.Step() ? size.Int(0) : 4096;
}

} // namespace

Checkpointer::Checkpointer(Database &serving, std::mutex &writerLock,
                           std::chrono::milliseconds interval)
    : serving_(serving), writerLock_(writerLock), interval_(interval) {
    // Another kind of store keeps its own log.
    if (serving.Handle() == nullptr) throw DbError{SQLITE_MISUSE, "not a SQLite store"};
    const char *path = sqlite3_db_filename(serving.Handle(), "main");
    if (path == nullptr || *path == '\0') ThrowDb(serving.Handle(), SQLITE_MISUSE);
    frameBytes_ = PageSize(serving) + kFrameHeaderBytes;
    serving.Exec(("PRAGMA journal_size_limit=" + std::to_string(kLogKeptBytes)).c_str());
    thread_ = std::thread([this, file = std::string(path)] { Run(file); });
    // Replaces the connection's own checkpoints after a commit.
    sqlite3_wal_hook(serving.Handle(), OnCommit, this);
}

Checkpointer::~Checkpointer() {
    sqlite3_wal_hook(serving_.Handle(), nullptr, nullptr);
    {
        std::lock_guard guard(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    try {
        serving_.Exec("PRAGMA wal_autocheckpoint=1000");
    } catch (const DbError &) {
        // the log is checkpointed when the connection closes
    }
}

int Checkpointer::OnCommit(void *self, sqlite3 *db, const char *schema, int frames) {
    auto &checkpointer = *static_cast<Checkpointer *>(self);
    const int64_t bytes = int64_t{frames} * checkpointer.frameBytes_;
    if (bytes >= kForceBytes) {
        // After the thread's pass, if one runs: with no commit beside it,
        // this one copies all.
        std::lock_guard pass(checkpointer.passLock_);
        sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    } else if (bytes >= kCatchUpBytes) {
        checkpointer.Wake();
    }
    return SQLITE_OK;
}

void Checkpointer::Wake() {
    if (woken_.exchange(true)) return;
    std::lock_guard guard(mutex_);
    wake_.notify_one();
}

void Checkpointer::Run(const std::string &path) {
    Database own;
    DbError error;
    if (!own.Open(path, error)) return;
    try {
        own.Exec("SELECT count(*) FROM sqlite_schema");
    } catch (const DbError &) {
        return;
    }
    std::unique_lock lock(mutex_);
    while (!stop_) {
        wake_.wait_for(lock, interval_, [this] { return stop_ || woken_.load(); });
        woken_ = false;
        if (stop_) break;
        lock.unlock();
        Pass(own.Handle());
        lock.lock();
    }
}

void Checkpointer::Pass(sqlite3 *own) {
    int log = 0, copied = 0;
    {
        std::lock_guard pass(passLock_);
        sqlite3_wal_checkpoint_v2(own, nullptr, SQLITE_CHECKPOINT_PASSIVE, &log, &copied);
    }
    if (copied >= log || int64_t{log} * frameBytes_ < kCatchUpBytes) return;
    // The writer lock first, as a commit holds it when it checkpoints.
    std::lock_guard writer(writerLock_);
    std::lock_guard pass(passLock_);
    sqlite3_wal_checkpoint_v2(own, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

} // namespace rdcsm
