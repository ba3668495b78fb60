// SPDX-License-Identifier: Apache-2.0
// OrderBy of the ODBC connector, through the SQLite driver: the table's
// select and a select text ordered by quoted column names, and a name that
// the select does not return refused instead of ordering by a constant. The
// connector keeps no resume mark.
#include "odbc_test_env.h"

namespace connectortest {
namespace {

TEST_F(OdbcTest, OrderByOnTheTableAndOnASelectText) {
    auto c = Open({{"Table", "t"}});
    ASSERT_EQ(0u, Execute(*c, "CREATE TABLE t (g INTEGER, \"two words\" TEXT); INSERT INTO t "
                              "VALUES (2, 'b'), (1, 'z'), (2, 'a'), (1, 'y')"))
        << c->LastError();
    ASSERT_EQ(0u, c->Set("SQL", ""));
    EXPECT_EQ((std::vector<std::string>{"1|y", "1|z", "2|a", "2|b"}),
              ReadOrdered(*c, "g,two words"));
    ASSERT_EQ(0u, c->Set("SQL", "SELECT \"two words\" AS w, g FROM t WHERE g = 1 -- ones"));
    EXPECT_EQ((std::vector<std::string>{"y|1", "z|1"}), ReadOrdered(*c, "w"));
    for (const std::string odd : {"w,", "x", "w DESC"}) {
        ASSERT_EQ(0u, c->Set("OrderBy", odd));
        List out(1);
        EXPECT_EQ(RDSTATUS_FREETEXT, c->Select(out, 1)) << odd;
        EXPECT_NE(std::string::npos, c->LastError().find("OrderBy")) << c->LastError();
    }
    // No mark and no read position: the properties are not there.
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&field, RDTYPE_TEXT, 1));
    for (uint32_t number : {0x0F01u, 0x0F02u, 0x0F03u})
        EXPECT_EQ(RDSTATUS_BADPROPERTY, odbc_.RDXSetProperty(c->Private(), number, field));
    RDFieldFree(field);
}

} // namespace
} // namespace connectortest
