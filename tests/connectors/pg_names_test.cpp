// SPDX-License-Identifier: Apache-2.0
// Names PostgreSQL would cut: a table made from a field list whose names
// (or whose table name) pass the server's 63 bytes is refused before
// anything is made, in a short message that names the column.
#include "pg_test_env.h"

namespace connectortest {
namespace {

std::vector<std::string> TablesNamed(const std::string &prefix) {
    return rdtest::PgSql("SELECT count(*) FROM pg_tables WHERE tablename LIKE '" + prefix + "%'");
}

TEST_F(PgTest, NamesLongerThanTheServerKeepsAreRefused) {
    const std::string kept(63, 'k'), cut = std::string(63, 'c') + "_x";
    struct Case {
        std::string table, column;
        const char *named; // what the message names
    };
    std::string accents;
    for (int i = 0; i < 32; ++i)
        accents += "\xC3\xA9"; // 32 characters, 64 bytes
    const Case refused[] = {
        {"long_names", cut, "column 2 (\"ccc"},
        {"long_names", std::string(100000, 'h'), "column 2 (\"hhh"},
        {"long_names", accents, "column 2 (\"\xC3\xA9"},
        {"long_names_" + std::string(60, 't'), "id2", "the table name \"long_names_ttt"},
    };
    for (const Case &c : refused) {
        auto pg = OpenPg({{"Table", c.table}});
        List list(1);
        Fill(list, {{"id", RDTYPE_INT}, {c.column, RDTYPE_TEXT}}, {});
        EXPECT_EQ(RDSTATUS_FREETEXT, pg_.RDXCreate(pg->Private(), 3, list));
        const std::string error = pg->LastError();
        EXPECT_NE(std::string::npos, error.find(c.named)) << error;
        EXPECT_NE(std::string::npos, error.find("63 bytes")) << error;
        EXPECT_LT(error.size(), 300u) << error;
        EXPECT_EQ((std::vector<std::string>{"0"}), TablesNamed("long_names"));
    }

    // 63 bytes are kept whole: the table is made and takes records.
    auto pg = OpenPg({{"Table", "long_names"}});
    List list(1);
    Fill(list, {{"id", RDTYPE_INT}, {kept, RDTYPE_TEXT}}, {{"1", "x"}});
    ASSERT_EQ(0u, pg_.RDXCreate(pg->Private(), 3, list)) << pg->LastError();
    uint32_t done = 0;
    ASSERT_EQ(0u, pg->Insert(list, 1, 1, &done)) << pg->LastError();
    EXPECT_EQ((std::vector<std::string>{"1|x"}), Sql("SELECT * FROM long_names"));
}

} // namespace
} // namespace connectortest
