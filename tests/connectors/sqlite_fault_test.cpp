// SPDX-License-Identifier: Apache-2.0
// Faults of an SQLite target: what fails the whole table (a full disk, a
// read-only database, a field without a column, a NOT NULL column the
// records lack, a missing table) is the target's fault (12325) for a batch
// and for one record alike; what SQLite refuses of one record (a duplicate
// key, a null in a NOT NULL column, a check) is that record's (12330).
// And the table's identity.
#include "small_disk.h"
#include "sqlite_test_env.h"

namespace connectortest {
namespace {

TEST_F(SqliteTest, RecordsAndTablesFailApart) {
    auto db = OpenDb({{"Create", "yes"}, {"Table", "t"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE t (id INTEGER PRIMARY KEY NOT NULL, "
                               "name TEXT NOT NULL, n INTEGER CHECK (n > 0), "
                               "d TEXT NOT NULL DEFAULT 'x', g TEXT AS (name || '!'))"));
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE strict (n INTEGER) STRICT"));
    ASSERT_EQ(0u, Execute(*db, "INSERT INTO t (id, name, n) VALUES (1, 'a', 1)"));
    const std::vector<InsertFault> faults = {
        {"t",
         {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}},
         {"1", "dup"},
         {"7", "good"},
         RDSTATUS_RECORDFAULT,
         "UNIQUE constraint failed"},
        {"t",
         {{"name", RDTYPE_TEXT}},
         {"<null>"},
         {"good"},
         RDSTATUS_RECORDFAULT,
         "NOT NULL constraint"},
        {"t",
         {{"name", RDTYPE_TEXT}, {"n", RDTYPE_INT}},
         {"b", "-1"},
         {"good", "7"},
         RDSTATUS_RECORDFAULT,
         "CHECK constraint failed"},
        {"strict", {{"n", RDTYPE_TEXT}}, {"abc"}, {"7"}, RDSTATUS_RECORDFAULT, "cannot store TEXT"},
        {"t",
         {{"name", RDTYPE_TEXT}, {"other", RDTYPE_INT}},
         {"b", "1"},
         {"good", "7"},
         RDSTATUS_FREETEXT,
         "field other has no column in table t"},
        {"t",
         {{"n", RDTYPE_INT}},
         {"5"},
         {"7"},
         RDSTATUS_FREETEXT,
         "the table t has NOT NULL columns without a default that the records do not have: "
         "name; no record can be inserted"},
        {"none",
         {{"n", RDTYPE_INT}},
         {"5"},
         {"7"},
         RDSTATUS_FREETEXT,
         "the table none does not exist"},
    };
    ExpectInsertFaults(*db, faults);
    EXPECT_EQ("4", Query("SELECT count(*) FROM t"));
}

TEST_F(SqliteTest, AFullOrReadOnlyDiskIsTheTargetsFault) {
    SmallDisk disk(Path("disk"), "256k");
    if (!disk.Mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here";
    List list(50);
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 50; ++i)
        rows.push_back({std::string(1000, 'a' + i % 26)});
    Fill(list, {{"text", RDTYPE_TEXT}}, rows);
    {
        Connection db(sqlite_);
        ASSERT_EQ(0u, db.Set("Database", disk.Path("full.db")));
        ASSERT_EQ(0u, db.Set("Create", "yes"));
        ASSERT_EQ(0u, db.Set("Table", "t"));
        ASSERT_EQ(0u, db.Connect());
        ASSERT_EQ(0u, sqlite_.RDXCreate(db.Private(), 3, list)) << db.LastError();
        uint32_t status = 0, done = 0;
        for (int batch = 0; batch < 20 && status == 0; ++batch)
            status = db.Insert(list, 1, 50, &done);
        EXPECT_EQ(RDSTATUS_FREETEXT, status);
        EXPECT_NE(std::string::npos, db.LastError().find("full")) << db.LastError();
        for (int record = 0; record < 300 && status != RDSTATUS_FREETEXT; ++record)
            status = db.Insert(list, 1, 1, &done);
        EXPECT_EQ(RDSTATUS_FREETEXT, status) << db.LastError();
    }
    ASSERT_TRUE(disk.MakeReadOnly());
    Connection db(sqlite_);
    ASSERT_EQ(0u, db.Set("Database", disk.Path("full.db")));
    ASSERT_EQ(0u, db.Set("Table", "t"));
    ASSERT_EQ(0u, db.Connect()) << db.LastError();
    ExpectInsertFails(db, list, RDSTATUS_FREETEXT, "takes no writes");
}

TEST_F(SqliteTest, IdentityIsTheFileAndTheTableAsSqliteNamesIt) {
    auto a = OpenDb({{"Create", "yes"}, {"Table", "Orders"}});
    auto same = OpenDb({{"Table", "ORDERS"}});
    auto other = OpenDb({{"Table", "items"}});
    auto none = OpenDb();
    const std::string identity = a->Get("Identity");
    EXPECT_EQ(0u, identity.rfind("sqlite:", 0)) << identity;
    EXPECT_EQ(":orders", identity.substr(identity.size() - 7));
    EXPECT_EQ(identity, same->Get("Identity"));
    EXPECT_NE(identity, other->Get("Identity"));
    EXPECT_EQ("", none->Get("Identity"));
    WriteFile(Path("copy.db"), ReadFile(Path("test.db")));
    Connection copy(sqlite_);
    ASSERT_EQ(0u, copy.Set("Database", Path("copy.db")));
    ASSERT_EQ(0u, copy.Set("Table", "orders"));
    ASSERT_EQ(0u, copy.Connect());
    EXPECT_NE(identity, copy.Get("Identity"));
}

} // namespace
} // namespace connectortest
