// SPDX-License-Identifier: Apache-2.0
// The write-ahead log of a serving rdcsm: checkpointed while it serves, so
// that what it acknowledged reaches the database file itself, and bounded in
// size whatever the load.
//
// That a checkpoint ran is read from the database file alone (a copy of it
// without the log): SQLite copies log pages into that file only in a
// checkpoint, after syncing the log, and syncs the file before it counts the
// pages as copied. So records found there were synced while rdcsm served.
#include "rdcsm_test_env.h"
#include "test_store.h"

#include "checkpointer.h"
#include "message_limit.h"
#include "rdx_status.h"

#include <atomic>
#include <filesystem>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdcsmtest {
namespace {

constexpr int64_t kBound = int64_t{64} << 20;

int64_t FileSize(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_size : 0;
}

// Samples the log file's size until destroyed; the largest seen.
class LogWatch {
  public:
    explicit LogWatch(std::string path)
        : path_(std::move(path)), thread_([this] {
              while (!stop_) {
                  largest_ = std::max<int64_t>(largest_, FileSize(path_));
                  usleep(500);
              }
          }) {}
    ~LogWatch() { Stop(); }
    int64_t Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return largest_ = std::max<int64_t>(largest_, FileSize(path_));
    }

  private:
    std::string path_;
    std::atomic<bool> stop_{false};
    std::atomic<int64_t> largest_{0};
    std::thread thread_;
};

class DurabilityTest : public ProgramTest {
  protected:
    void SetUp() override {
        SKIP_ON_PG_STORE();
        ProgramTest::SetUp();
        {
            rdcsm::Store store;
            rdcsm::DbError error;
            ASSERT_TRUE(store.Open(Db(), error)) << error.message;
            store.DefineObject(rdcsm::kActivity, "load", "");
        }
        ASSERT_TRUE(StartProgram());
        ASSERT_EQ(0u, CSMgrInit(nullptr));
        ASSERT_EQ(0u, CSMgrOpenActivity(&handle_, &Stream("load", 256), 1));
    }
    std::string Db() const { return home_.Path("rdcsm.db"); }
    std::string Log() const { return Db() + "-wal"; }

    // The number of rows of table in the database file alone; -1 while a
    // copy of it cannot be read (a checkpoint was writing it).
    int64_t RowsInTheFile(const char *table) const {
        const std::string copy = home_.Path("copy.db");
        std::filesystem::remove(copy + "-wal");
        std::filesystem::remove(copy + "-shm");
        std::error_code failed;
        std::filesystem::copy_file(Db(), copy, std::filesystem::copy_options::overwrite_existing,
                                   failed);
        sqlite3 *db = nullptr;
        int64_t rows = -1;
        if (!failed && sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == 0) {
            sqlite3_stmt *count = nullptr;
            const std::string sql = std::string("SELECT count(*) FROM ") + table;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &count, nullptr) == 0 &&
                sqlite3_step(count) == SQLITE_ROW)
                rows = sqlite3_column_int64(count, 0);
            sqlite3_finalize(count);
        }
        sqlite3_close(db);
        return rows;
    }

    // Waits up to 30 s for the count in the database file.
    bool FileReaches(const char *table, int64_t rows) const {
        for (int i = 0; i < 600; ++i, usleep(50000))
            if (RowsInTheFile(table) == rows) return true;
        return false;
    }

    // Once everything is checkpointed, a commit starts the log again and cuts
    // its file back: logs one record at a time until that is seen (30 s).
    bool LogIsCutBack() {
        for (int i = 0; i < 600; ++i, usleep(50000)) {
            if (CSMgrLog(handle_, 1, &Stream("after", 256)) != 0) return false;
            if (FileSize(Log()) <= rdcsm::kLogKeptBytes) return true;
        }
        return false;
    }

    uint32_t handle_ = 0;
};

TEST_F(DurabilityTest, AHundredThousandLogRecordsReachTheFileWithTheLogBounded) {
    SKIP_ON_PG_STORE();
    constexpr int kWriters = 4, kEach = 25000;
    LogWatch watch(Log());
    std::atomic<int> failed{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] {
            Stream text("writer " + std::to_string(w) + " " + std::string(80, 'x'), 256);
            for (int i = 0; i < kEach && failed == 0; ++i)
                if (CSMgrLog(handle_, static_cast<uint32_t>(i), &text) != 0) ++failed;
        });
    for (std::thread &writer : writers)
        writer.join();
    ASSERT_EQ(0, failed.load());
    const int64_t largest = watch.Stop();
    EXPECT_LT(largest, kBound) << "largest log file";
    RecordProperty("largest_log_bytes", std::to_string(largest));

    // Still serving: every acknowledged record is in the database file.
    EXPECT_TRUE(FileReaches("log", kWriters * kEach));
    EXPECT_TRUE(LogIsCutBack()) << FileSize(Log());
    EXPECT_EQ(0, StopProgram());
}

// Values as large as an answer carries (4 MiB here), each one commit, come
// faster than a checkpoint interval, 256 MiB of them in all: the log is
// checkpointed on the way rather than left to grow.
TEST_F(DurabilityTest, BurstsOfLargeValuesKeepTheLogBounded) {
    SKIP_ON_PG_STORE();
    const std::size_t size = (rdcsm::MessageLimit() - 533) / 2048 * 2048;
    const std::size_t count = std::max<std::size_t>(16, (std::size_t{256} << 20) / size);
    std::string value(size, '\0');
    for (std::size_t i = 0; i < value.size(); ++i)
        value[i] = static_cast<char>('a' + i * 7 % 26);
    rdtest::WriteFile(home_.Path("large.txt"), value);
    LogWatch watch(Log());
    for (std::size_t i = 0; i < count; ++i) {
        Stream name("field " + std::to_string(i % 4), 256);
        ASSERT_EQ(0u, CSMgrFileField(handle_, &name, home_.Path("large.txt").c_str())) << i;
    }
    const int64_t largest = watch.Stop();
    EXPECT_LT(largest, kBound) << "largest log file";
    RecordProperty("largest_log_bytes", std::to_string(largest));
    EXPECT_TRUE(FileReaches("fields", 4));
    EXPECT_TRUE(LogIsCutBack()) << FileSize(Log());
    EXPECT_EQ(0, StopProgram());
}

} // namespace
} // namespace rdcsmtest
