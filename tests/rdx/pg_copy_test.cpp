// SPDX-License-Identifier: Apache-2.0
// rdx copy into the suite's PostgreSQL cluster, named by a URI and by a
// keyword string.
#include "rdx_test_env.h"

namespace rdxtest {
namespace {

using RdxPgTest = WithPg<RdxTest>;

TEST_F(RdxPgTest, CsvIntoANewTableThenAppendedByKeywordString) {
    rdtest::WriteFile(Path("orders.csv"), kOrdersCsv);
    Ran made =
        Rdx({"copy", Path("orders.csv"), PgUri("orders"), "--columns", kOrderColumns, "--create"});
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
