// SPDX-License-Identifier: Apache-2.0
#include "test_store.h"

#include "pg_cluster.h"
#include "tool_env.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>
#include <vector>

namespace rdcsmtest {

namespace {

std::map<std::string, std::string> &Stores() {
    static std::map<std::string, std::string> stores;
    return stores;
}

std::vector<std::string> &Made() {
    static std::vector<std::string> made;
    return made;
}

// Drops the databases a test made once it ends; stops the cluster at the
// end of the program.
class Dropper : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo &) override {
        for (const std::string &name : Made())
            rdtest::PgSql("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
        Made().clear();
        Stores().clear();
    }
    void OnTestProgramEnd(const testing::UnitTest &) override { rdtest::PgCluster::Stop(); }
};

const bool kRegistered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new Dropper);
    return true;
}();

} // namespace

bool PgStoreTests() {
    const char *store = std::getenv("RDX_TEST_STORE");
    return store != nullptr && std::string(store) == "pg";
}

std::string FreshPgDatabase() {
    static int count = 0;
    const std::string &failure = rdtest::PgCluster::Start();
    EXPECT_EQ("", failure);
    const std::string name = "rdcsm_" + std::to_string(getpid()) + "_" + std::to_string(++count);
    // SQL_ASCII keeps the bytes of every text, as a SQLite file does.
    rdtest::PgSql("CREATE DATABASE " + name +
                  " ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' "
                  "TEMPLATE template0");
    Made().push_back(name);
    return "host=" + rdtest::PgCluster::Socket() + " port=" + rdtest::PgCluster::Port() +
           " user=postgres dbname=" + name;
}

rdcsm::StoreUri TestStore(const std::string &path) {
    if (!PgStoreTests()) return {rdcsm::StoreKind::kSqlite, path};
    auto found = Stores().find(path);
    if (found == Stores().end()) found = Stores().emplace(path, FreshPgDatabase()).first;
    return {rdcsm::StoreKind::kPostgres, found->second};
}

std::string StoreOption(const std::string &path) {
    const rdcsm::StoreUri store = TestStore(path);
    if (store.kind == rdcsm::StoreKind::kSqlite) return "--db " + Quoted(path);
    return "--store " + Quoted(store.target);
}

} // namespace rdcsmtest
