// SPDX-License-Identifier: Apache-2.0
// Faults of an ODBC target (the SQLite driver, whose errors come as HY000
// with SQLite's code): a field without a column, a NOT NULL column without
// a default that the records lack, or a missing table fail the target
// (12325) for a batch and one record alike; a duplicate key or a null in a
// NOT NULL column fails the record (12330). And the identity.
#include "odbc_test_env.h"

namespace connectortest {
namespace {

TEST_F(OdbcTest, RecordsAndTablesFailApart) {
    auto db = Open({{"Table", "t"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE t (id INTEGER PRIMARY KEY NOT NULL, name TEXT NOT "
                               "NULL, d TEXT NOT NULL DEFAULT 'x', n INTEGER)"));
    const std::vector<InsertFault> faults = {
        {"t", {{"name", RDTYPE_TEXT}}, {"a"}, {"b"}, 0, ""},
        {"t",
         {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}},
         {"1", "dup"},
         {"9", "c"},
         RDSTATUS_RECORDFAULT,
         "UNIQUE constraint failed"},
        {"t",
         {{"name", RDTYPE_TEXT}},
         {"<null>"},
         {"d"},
         RDSTATUS_RECORDFAULT,
         "NOT NULL constraint failed"},
        {"t",
         {{"name", RDTYPE_TEXT}, {"other", RDTYPE_INT}},
         {"e", "1"},
         {"e", "1"},
         RDSTATUS_FREETEXT,
         "field other has no column in table t"},
        {"t",
         {{"n", RDTYPE_INT}},
         {"1"},
         {"2"},
         RDSTATUS_FREETEXT,
         "the table t has NOT NULL columns without a default that the records do not have: "
         "name; no record can be inserted"},
        {"none",
         {{"n", RDTYPE_INT}},
         {"1"},
         {"2"},
         RDSTATUS_FREETEXT,
         "the table none cannot be read"},
    };
    ExpectInsertFaults(*db, faults);
    EXPECT_EQ("4", Query("SELECT count(*) FROM t"));
}

TEST_F(OdbcTest, IdentityIsTheDataSourceAndTable) {
    auto a = Open({{"Table", "orders"}});
    auto same = Open({{"Table", "orders"}});
    auto other = Open({{"Table", "items"}});
    EXPECT_EQ("odbc:rdtest:orders", a->Get("Identity"));
    EXPECT_EQ(a->Get("Identity"), same->Get("Identity"));
    EXPECT_NE(a->Get("Identity"), other->Get("Identity"));
    EXPECT_EQ("", Open()->Get("Identity"));
}

} // namespace
} // namespace connectortest
