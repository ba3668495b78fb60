// rdx copy into the suite's PostgreSQL cluster, named by a URI and by a
// keyword string.
#include "pg_cluster.h"
#include "rdx_test_env.h"

namespace rdxtest {
namespace {

class RdxPgTest : public RdxTest {
  protected:
    void SetUp() override {
        if (const std::string &failure = rdtest::PgCluster::Start(); !failure.empty())
            GTEST_SKIP() << "no PostgreSQL server can be started: " << failure;
        rdtest::PgSql("DROP SCHEMA public CASCADE; CREATE SCHEMA public");
    }
    static void TearDownTestSuite() { rdtest::PgCluster::Stop(); }
};

TEST_F(RdxPgTest, CsvIntoANewTableThenAppendedByKeywordString) {
    rdtest::WriteFile(Path("orders.csv"), kOrdersCsv);
    const std::string uri = "postgresql:///postgres?host=" + rdtest::PgCluster::Socket() +
                            "&port=" + rdtest::PgCluster::Port() + "&user=postgres#orders";
    Ran made = Rdx({"copy", Path("orders.csv"), uri, "--columns", kOrderColumns, "--create"});
    ASSERT_EQ(0, made.status) << made.err << made.out;
    EXPECT_EQ(std::vector<std::string>{"4|120.74"},
              rdtest::PgSql("SELECT count(*), sum(amount) FROM orders"));
    EXPECT_EQ(std::vector<std::string>{"Zoë Ørsted"},
              rdtest::PgSql("SELECT customer FROM orders WHERE id = 4"));

    const std::string keywords = "host=" + rdtest::PgCluster::Socket() +
                                 " port=" + rdtest::PgCluster::Port() +
                                 " user=postgres dbname=postgres";
    Ran appended = Rdx(
        {"copy", Path("orders.csv"), keywords, "--table", "orders", "--columns", kOrderColumns});
    ASSERT_EQ(0, appended.status) << appended.err << appended.out;
    EXPECT_EQ(std::vector<std::string>{"8"}, rdtest::PgSql("SELECT count(*) FROM orders"));
}

} // namespace
} // namespace rdxtest
