// SPDX-License-Identifier: Apache-2.0
// rdx end to end: the real rdx of the build run as a child process in a
// temporary HOME and XDG_STATE_HOME, driving the real rdcsm and rdrun. The
// server managers rdx leaves running are stopped when the test ends.
#pragma once

#include "pg_cluster.h"
#include "temp_home.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/types.h>
#include <vector>

namespace rdxtest {

// What a program printed and how it ended.
struct Ran {
    int status = -1;
    std::string out, err;
};

class RdxTest : public ::testing::Test {
  protected:
    void TearDown() override;

    std::string Path(const std::string &name) const { return home_.Path(name); }
    // The home rdx makes when none is named.
    std::string DefaultHome() const { return Path("state/rdx/copy"); }
    // Runs rdx with the arguments; a home named by --home is remembered so
    // that its server manager is stopped at the end.
    Ran Rdx(const std::vector<std::string> &args);
    // Starts rdx with the arguments in the background, its output in
    // rdx.out and rdx.err of the test's folder.
    pid_t StartRdx(const std::vector<std::string> &args) const;
    // Runs a program of the build (rdcsm, rdrun) with the arguments.
    static Ran Program(const std::string &path, const std::vector<std::string> &args);

    rdtest::ScopedEnv locale_{"LC_ALL", "C.UTF-8"};
    rdtest::TempHome home_;
    rdtest::ScopedEnv user_{"HOME", home_.Dir().c_str()};
    rdtest::ScopedEnv state_{"XDG_STATE_HOME", Path("state").c_str()};

  private:
    std::vector<std::string> homes_;
};

// Base with the suite's PostgreSQL cluster: started once per suite, an empty
// public schema per test; the tests are skipped where no server can start.
template <class Base> class WithPg : public Base {
  protected:
    void SetUp() override {
        if (const std::string &failure = rdtest::PgCluster::Start(); !failure.empty())
            GTEST_SKIP() << "no PostgreSQL server can be started: " << failure;
        rdtest::PgSql("DROP SCHEMA public CASCADE; CREATE SCHEMA public");
    }
    static void TearDownTestSuite() { rdtest::PgCluster::Stop(); }
    // An rdx endpoint URI naming table of the cluster's database.
    static std::string PgUri(const std::string &table) {
        return "postgresql:///postgres?host=" + rdtest::PgCluster::Socket() +
               "&port=" + rdtest::PgCluster::Port() + "&user=postgres#" + table;
    }
};

using rdtest::Ended;

// The rows of a query on a SQLite database, columns joined by '|', each
// row ending with '\n'; the error text when it fails.
std::string SqliteRows(const std::string &database, const std::string &sql);

// A CSV file of orders with a header, CRLF line ends and values that need
// quoting (a comma, quotes, non-ASCII letters), and its declared columns.
extern const char *const kOrdersCsv;
extern const char *const kOrderColumns;

} // namespace rdxtest
