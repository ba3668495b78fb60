// SPDX-License-Identifier: Apache-2.0
// rdrun end to end against the test program's own PostgreSQL cluster: the
// cluster started once per suite, an empty public schema per test, and
// links of rdpg to it; with rdodbc over the SQLite driver besides.
#pragma once

#include "pg_cluster.h"
#include "run_test_env.h"

#include <unistd.h>

namespace rdruntest {

class PgRunTest : public RunTest {
  protected:
    void SetUp() override {
        if (const std::string &failure = rdtest::PgCluster::Start(); !failure.empty())
            GTEST_SKIP() << "no PostgreSQL server can be started: " << failure;
        RunTest::SetUp();
        rdtest::PgSql("DROP SCHEMA public CASCADE; CREATE SCHEMA public");
    }
    static void TearDownTestSuite() { rdtest::PgCluster::Stop(); }

    static std::string PgLink(const std::string &name, const std::string &transaction) {
        return "[link." + name + "]\nconnector = \"rdpg\"\nHost = \"" +
               rdtest::PgCluster::Socket() + "\"\nPort = \"" + rdtest::PgCluster::Port() +
               "\"\nUser = \"postgres\"\nDatabase = \"postgres\"\nTransaction = \"" + transaction +
               "\"\n";
    }
    // A link of rdcsv that creates its file with LF line ends.
    static std::string CsvTarget(const std::string &name, const std::string &path) {
        return "[link." + name + "]\nconnector = \"rdcsv\"\nPath = \"" + path +
               "\"\nCreate = 1\nLineEnd = \"LF\"\n";
    }
};

// The SQLite ODBC driver, named in connection strings (no odbc.ini).
inline constexpr const char *kSqliteOdbcDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

// PgRunTest with rdodbc in the home; skipped where the SQLite driver is missing.
class OdbcRunTest : public PgRunTest {
  protected:
    void SetUp() override {
        PgRunTest::SetUp();
        if (IsSkipped()) return;
        const std::string odbc = RDTEST_RDODBC;
        ASSERT_EQ(0, symlink(odbc.c_str(), Path("rdodbc.rdx").c_str()));
        if (access(kSqliteOdbcDriver, R_OK) != 0)
            GTEST_SKIP() << "the SQLite ODBC driver is missing: " << kSqliteOdbcDriver;
    }
    // A link of rdodbc to the SQLite database at path, through the driver.
    static std::string OdbcLink(const std::string &name, const std::string &path) {
        return "[link." + name +
               "]\nconnector = \"rdodbc\"\nDataSource = \"Driver=" + kSqliteOdbcDriver +
               ";Database=" + path + "\"\n";
    }
};

} // namespace rdruntest
