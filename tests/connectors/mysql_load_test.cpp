// SPDX-License-Identifier: Apache-2.0
// Large selects streamed in bounded memory, and a server killed in the
// middle of a load or a select: whole batches or nothing, and a failure.
#include "mysql_test_env.h"

#include "rdx_field.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace connectortest {
namespace {

// The process's resident memory in kB.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

class MysqlLoadTest : public MysqlTest {
  protected:
    // rows rows of an id and a text of 1000 bytes: a result far larger than
    // the memory a streamed select may take.
    void MakeBig(int rows) {
        Sql("CREATE TABLE big (id int PRIMARY KEY, pad varchar(1000)) DEFAULT CHARSET=latin1");
        Sql("INSERT INTO big SELECT seq, REPEAT(CHAR(65 + seq % 26), 1000) FROM seq_1_to_" +
            std::to_string(rows));
    }
};

TEST_F(MysqlLoadTest, SelectOfManyRowsStreamsInBoundedMemory) {
    MakeBig(60000); // 60 MB of rows
    auto c = Open({{"Table", "big"}, {"OrderBy", "id"}});
    List list(500);
    const long before = ResidentKb();
    ASSERT_EQ(0u, c->Select(list, 500)) << c->LastError();
    long most = before;
    uint64_t rows = 0, sum = 0;
    std::string last;
    for (;;) {
        uint32_t fetched = 0;
        const uint32_t status = c->Fetch(list, 1, 500, &fetched);
        uint32_t field = 0;
        EXPECT_EQ(0u, RDFieldlistGetField(list, 1, 256, &field, nullptr));
        for (uint32_t r = 1; r <= fetched; ++r) {
            int32_t id = 0;
            uint32_t isNull = 0;
            EXPECT_EQ(0u, RDFieldGetInt(field, r, &id, &isNull));
            sum += static_cast<uint64_t>(id);
        }
        if (fetched > 0) last = Rows(list, fetched, 1).at(0);
        rows += fetched;
        most = std::max(most, ResidentKb());
        if (status != 0) {
            EXPECT_EQ(RDX_END_OF_DATA, status) << c->LastError();
            break;
        }
    }
    EXPECT_EQ(60000u, rows);
    EXPECT_EQ(60000ull * 60001 / 2, sum);
    EXPECT_EQ("60000|" + std::string(1000, 'A' + 60000 % 26), last);
    // The whole result held at once would take over 60 MB.
    EXPECT_LT(most - before, 20 * 1024) << "kB grown while reading";
    // Fetches after the end keep saying so.
    uint32_t fetched = 9;
    EXPECT_EQ(RDX_END_OF_DATA, c->Fetch(list, 1, 500, &fetched));
    EXPECT_EQ(0u, fetched);
}

TEST_F(MysqlLoadTest, OtherStatementsEndAnOpenSelect) {
    MakeBig(3000);
    auto c = Open({{"Table", "big"}});
    List list(10);
    ASSERT_EQ(0u, c->Select(list, 10)) << c->LastError();
    uint32_t fetched = 0;
    ASSERT_EQ(0u, c->Fetch(list, 1, 10, &fetched));
    // The session serves the statement: the select's rows are dropped.
    uint32_t count = 0;
    ASSERT_EQ(0u, Execute(*c, "DELETE FROM big WHERE id <= 10", &count)) << c->LastError();
    EXPECT_EQ(10u, count);
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Fetch(list, 1, 10, &fetched));
    EXPECT_NE(std::string::npos, c->LastError().find("without a select")) << c->LastError();
}

// A select text is one statement, read as the server reads it: a second
// one is refused before anything runs; semicolons in strings with
// backslash escapes, in backticks and in '#' comments are no ends.
TEST_F(MysqlLoadTest, SelectTextHoldsOneStatement) {
    Sql("CREATE TABLE t (`a;b` varchar(10))");
    Sql("INSERT INTO t VALUES ('x')");
    auto c = Open();
    List list(5);
    ASSERT_EQ(0u, c->Set("SQL", "SELECT `a;b`, 'it\\'s;' AS s FROM t # no; end\n;"));
    ASSERT_EQ(0u, c->Select(list, 5)) << c->LastError();
    std::vector<std::string> rows;
    FetchAll(*c, list, rows);
    EXPECT_EQ((std::vector<std::string>{"x|it's;"}), rows);
    ASSERT_EQ(0u, c->Set("SQL", "SELECT 1; DROP TABLE t"));
    List other(5);
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Select(other, 5));
    EXPECT_NE(std::string::npos, c->LastError().find("DROP TABLE t")) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"x"}), Sql("SELECT * FROM t"));
}

class MysqlKillTest : public MysqlLoadTest {
  protected:
    void TearDown() override {
        if (!MariaServer::Socket().empty()) MariaServer::Resume();
        MysqlLoadTest::TearDown();
    }
};

TEST_F(MysqlKillTest, ServerKilledDuringLoadKeepsWholeBatchesAndFails) {
    Sql("CREATE TABLE loaded (id int PRIMARY KEY, pad varchar(200)) ENGINE=InnoDB");
    auto c = Open({{"Table", "loaded"}});
    ASSERT_EQ(0u, c->SetInt("BatchRows", 100));
    const uint32_t batch = 5000;
    List list(batch);
    Fill(list, {{"id", RDTYPE_INT}, {"pad", RDTYPE_TEXT}}, {});
    uint32_t idField = 0, padField = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(list, 1, 256, &idField, nullptr));
    ASSERT_EQ(0u, RDFieldlistGetField(list, 2, 256, &padField, nullptr));
    const std::string pad(200, 'p');
    std::atomic<bool> started{false};
    std::thread killer([&] {
        while (!started)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        MariaServer::Kill();
    });
    uint32_t committed = 0, status = 0, done = 0;
    for (int b = 0; b < 10000; ++b) {
        for (uint32_t r = 1; r <= batch; ++r) {
            const int32_t id = static_cast<int32_t>(committed + r);
            ASSERT_EQ(0u, RDFieldSetInt(idField, r, &id));
            ASSERT_EQ(0u, RDFieldSetBytes(padField, r, 256, pad.data(), 200));
        }
        started = true;
        status = c->Insert(list, 1, batch, &done);
        if (status != 0) break;
        EXPECT_EQ(batch, done);
        committed += batch;
    }
    killer.join();
    // The batch the server died in failed as a whole, as the target's fault.
    EXPECT_NE(0u, status);
    EXPECT_NE(RDSTATUS_RECORDFAULT, status);
    EXPECT_EQ(0u, done);
    const std::string error = c->LastError();
    EXPECT_TRUE(error.find("2013") != std::string::npos ||
                error.find("2006") != std::string::npos || error.find("2002") != std::string::npos)
        << error;
    // The next insert fails too, and says so.
    EXPECT_NE(0u, c->Insert(list, 1, 1, &done));
    ASSERT_TRUE(MariaServer::Resume());
    // After recovery: the batches reported done, whole. The failed one is
    // there too only when the server died between its commit and the
    // answer, which the client cannot tell from a commit that failed.
    const std::vector<std::string> found = Sql("SELECT COUNT(*), COALESCE(SUM(id), 0) FROM loaded");
    ASSERT_EQ(1u, found.size());
    const uint64_t rows = std::stoull(found[0].substr(0, found[0].find('|')));
    EXPECT_TRUE(rows == committed || rows == committed + batch) << rows << " vs " << committed;
    EXPECT_EQ(std::to_string(rows) + "|" + std::to_string(rows * (rows + 1) / 2), found[0]);
}

TEST_F(MysqlKillTest, ServerKilledDuringSelectFailsInsteadOfEnding) {
    MakeBig(20000);
    auto c = Open({{"Table", "big"}});
    List list(100);
    ASSERT_EQ(0u, c->Select(list, 100)) << c->LastError();
    uint32_t fetched = 0;
    ASSERT_EQ(0u, c->Fetch(list, 1, 100, &fetched));
    ASSERT_TRUE(MariaServer::Kill());
    uint32_t status = 0;
    uint64_t rows = fetched;
    for (int guard = 0; guard < 1000 && status == 0; ++guard) {
        status = c->Fetch(list, 1, 100, &fetched);
        rows += fetched;
    }
    EXPECT_EQ(RDSTATUS_FREETEXT, status);
    EXPECT_LT(rows, 20000u);
    EXPECT_NE(std::string::npos, c->LastError().find("cannot be read")) << c->LastError();
}

} // namespace
} // namespace connectortest
