// SPDX-License-Identifier: Apache-2.0
// rdrun end to end: a temporary home with quarry.ini, the connectors and
// the programs linked into it, and the real rdcsm serving it as a child of
// the test. Jobs are defined through `rdcsm define` and run by `rdrun NAME`
// as a child process; SQLite databases are read and written directly.
#pragma once

#include "temp_home.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <string>
#include <sys/types.h>

namespace rdruntest {

// What a program printed and how it ended.
struct Ran {
    int status = -1;
    std::string out, err;
};

// The properties of an rdcopy activity that tests vary.
struct CopySpec {
    std::string source, target, table, select;
    unsigned batch = 0; // 0: the connector's default
    std::string onError;
    bool create = true;
};

class RunTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string &name) const { return home_.Path(name); }
    // Writes the job file and defines it; a refusal fails the test.
    void Define(const std::string &toml);
    // A job file section of an rdcopy activity.
    static std::string CopyActivity(const std::string &name, const CopySpec &spec);
    // Links: a CSV file with a header row and declared columns (created
    // when missing if `create`), a SQLite database (always created) that
    // commits every batch by default, as the tests watch their targets batch
    // by batch (commitRecords: its CommitRecords).
    static std::string CsvLink(const std::string &name, const std::string &path,
                               const std::string &columns, bool create = false);
    static std::string SqliteLink(const std::string &name, const std::string &path,
                                  int commitRecords = 0);
    // Runs a program of the home (or of an absolute path) with the
    // arguments (shell words).
    Ran Program(const std::string &program, const std::string &arguments) const;
    Ran Rdrun(const std::string &arguments) const { return Program("rdrun", arguments); }
    // Starts a program of the home in the background with the arguments
    // (shell words), its output in NAME.out and NAME.err of the home.
    pid_t Start(const std::string &program, const std::string &arguments,
                const std::string &name) const;
    // Starts `rdrun ARGUMENTS` again and again, each run killed with SIGKILL
    // after a random pause of 20 to `longest` ms, at most `kills` times and
    // until `done` holds or a run ends by itself with `finished` (or 0). Returns the
    // runs killed; a run that ended any other way fails the test.
    int KillLoop(const std::string &arguments, unsigned kills, int longest,
                 const std::function<bool()> &done, int finished = 0);
    // Starts `rdrun ARGUMENTS` `runs` times, each after change(i) and killed
    // with SIGKILL after a random pause of 5 to `longest` ms unless it ended
    // by itself (with 0) before. Returns the runs killed; a run that ended
    // any other way fails the test.
    int KillRuns(const std::string &arguments, unsigned runs, int longest,
                 const std::function<void(unsigned)> &change);
    // The activity's log as `rdcsm log NAME` prints it.
    std::string Log(const std::string &name) const;

    rdtest::ScopedEnv locale_{"LC_ALL", "C.UTF-8"};
    rdtest::TempHome home_;
    pid_t server_ = -1;
};

// A SQLite database opened (created) for the test.
class Db {
  public:
    explicit Db(const std::string &path);
    ~Db();
    Db(const Db &) = delete;
    Db &operator=(const Db &) = delete;
    // Runs statements; a failure fails the test.
    void Exec(const std::string &sql);
    // The rows of a query: columns joined by '|', each row ending with '\n';
    // NULL as "NULL"; the error text when the query fails.
    std::string Query(const std::string &sql);

  private:
    sqlite3 *db_ = nullptr;
};

using rdtest::Ended;
// A positive number from the environment variable, else fallback (the kill
// loops are small in the suite; the benchmark script runs them larger).
unsigned Setting(const char *name, unsigned fallback);
// Polls condition every 10 ms for at most 60 s; whether it came true.
bool WaitFor(const std::function<bool()> &condition);
// How often part occurs in text.
size_t Count(const std::string &text, const std::string &part);

// The CSV file of `count` generated orders (id, amount, ordered_at,
// customer), written by the project's example generator.
void MakeOrders(const std::string &path, unsigned count);
// Their declared columns and the table that receives them.
inline constexpr const char *kOrderColumns =
    "id:int,amount:numeric(12,2),ordered_at:datetime,customer:text";
// The sum of the generated amounts of orders 1..count, in cents.
long long OrderCents(unsigned count);

} // namespace rdruntest
