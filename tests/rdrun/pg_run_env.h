// rdrun end to end against the test program's own PostgreSQL cluster: the
// cluster started once per suite, an empty public schema per test, and
// links of rdpg to it.
#pragma once

#include "pg_cluster.h"
#include "run_test_env.h"

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
};

} // namespace rdruntest
