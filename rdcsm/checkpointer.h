// SPDX-License-Identifier: Apache-2.0
// Checkpoints of the write-ahead log off the request path, and a bound on
// the log's size. While the server runs, its connection does not checkpoint;
// a thread of this class does, on a connection of its own that has read the
// database first (a connection that has read nothing does not know the log
// and checkpoints nothing):
//  - every interval a passive checkpoint, which never waits for the writer:
//    it syncs the log, copies it into the database and syncs that. With
//    synchronous=NORMAL this is where acknowledged commits reach the disk,
//    so the interval bounds what a power loss can take.
//  - when more than kCatchUpBytes of log were left uncopied because the
//    server kept committing meanwhile, a second passive checkpoint under the
//    server's writer lock. With no commit in between it copies the rest, and
//    the server's next commit starts the log again from its beginning, the
//    file cut back to kLogKeptBytes (journal_size_limit).
// The serving connection's commit hook wakes the thread as soon as the log
// passes kCatchUpBytes, and should a burst of large commits take it past
// kForceBytes first, checkpoints itself once the thread's pass is done. So
// the log file stays below kForceBytes plus one request (16 MiB of value),
// unless a reader holds an old snapshot of the log all along.
#pragma once

#include "sqlite_db.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace rdcsm {

inline constexpr int64_t kLogKeptBytes = 4 << 20;
inline constexpr int64_t kCatchUpBytes = 16 << 20;
inline constexpr int64_t kForceBytes = 32 << 20;

class Checkpointer {
  public:
    // Takes checkpointing over from serving, a connection to a database
    // file whose commits happen under writerLock; the caller holds the lock.
    // Throws DbError.
    Checkpointer(Database &serving, std::mutex &writerLock, std::chrono::milliseconds interval);
    // Hands checkpointing back to the serving connection. The caller must
    // not hold the writer lock.
    ~Checkpointer();
    Checkpointer(const Checkpointer &) = delete;
    Checkpointer &operator=(const Checkpointer &) = delete;

  private:
    static int OnCommit(void *self, sqlite3 *db, const char *schema, int frames);
    void Wake();
    void Run(const std::string &path);
    void Pass(sqlite3 *own);

    Database &serving_;
    std::mutex &writerLock_;
    std::chrono::milliseconds interval_;
    int64_t frameBytes_ = 0; // a page and its frame header
    std::mutex passLock_;    // one checkpoint at a time, the thread's or a commit's
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> woken_{false};
    bool stop_ = false;
    std::thread thread_;
};

} // namespace rdcsm
