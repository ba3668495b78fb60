// SPDX-License-Identifier: Apache-2.0
// Faults of a PostgreSQL target: what fails the whole table (a field
// without a column, a NOT NULL column the records lack, a missing table, a
// refused permission, a read-only session) is the target's fault (12325)
// for a batch and one record alike; what the server refuses of one record
// for its values (a duplicate key, a null, a check, a number out of range)
// is that record's (12330). And the table's identity.
#include "pg_test_env.h"

namespace connectortest {
namespace {

TEST_F(PgTest, RecordsAndTablesFailApart) {
    Sql("CREATE TABLE t (id integer PRIMARY KEY, name text NOT NULL, n smallint CHECK (n > 0), "
        "s serial, k integer GENERATED ALWAYS AS IDENTITY, d text NOT NULL DEFAULT 'x', "
        "g text GENERATED ALWAYS AS (name || '!') STORED); "
        "INSERT INTO t (id, name) VALUES (1, 'a'); "
        "CREATE ROLE reader LOGIN; GRANT USAGE ON SCHEMA public TO reader; "
        "GRANT SELECT ON t TO reader");
    auto c = OpenPg();
    const std::vector<InsertFault> faults = {
        {"t",
         {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}},
         {"1", "dup"},
         {"2", "b"},
         RDSTATUS_RECORDFAULT,
         "23505"},
        {"t",
         {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}},
         {"3", "<null>"},
         {"3", "c"},
         RDSTATUS_RECORDFAULT,
         "23502"},
        {"t",
         {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"n", RDTYPE_INT}},
         {"4", "d", "-1"},
         {"4", "d", "1"},
         RDSTATUS_RECORDFAULT,
         "23514"},
        {"t",
         {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"n", RDTYPE_INT}},
         {"5", "e", "70000"},
         {"5", "e", "2"},
         RDSTATUS_RECORDFAULT,
         "record 1"},
        {"t",
         {{"id", RDTYPE_INT}, {"other", RDTYPE_TEXT}},
         {"6", "f"},
         {"6", "f"},
         RDSTATUS_FREETEXT,
         "field other has no column in table t"},
        {"t",
         {{"id", RDTYPE_INT}},
         {"6"},
         {"7"},
         RDSTATUS_FREETEXT,
         "the table t has NOT NULL columns without a default that the records do not have: "
         "name; no record can be inserted"},
        {"none", {{"id", RDTYPE_INT}}, {"6"}, {"7"}, RDSTATUS_FREETEXT, "42P01"},
    };
    ExpectInsertFaults(*c, faults);
    EXPECT_EQ((std::vector<std::string>{"5"}), Sql("SELECT count(*) FROM t"));
    // A user without the right to insert, and a read-only session.
    List list(2);
    Fill(list, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}}, {{"8", "h"}, {"9", "i"}});
    auto reader = OpenPg({{"Table", "t"}, {"User", "reader"}});
    ExpectInsertFails(*reader, list, RDSTATUS_FREETEXT, "42501");
    auto readOnly =
        OpenPg({{"Table", "t"}, {"Connection", "options='-c default_transaction_read_only=on'"}});
    ExpectInsertFails(*readOnly, list, RDSTATUS_FREETEXT, "25006");
    Sql("DROP OWNED BY reader; DROP ROLE reader");
}

TEST_F(PgTest, IdentityIsTheServerDatabaseAndSchemaQualifiedTable) {
    Sql("CREATE TABLE t (n integer); DROP SCHEMA IF EXISTS other CASCADE; CREATE SCHEMA other; "
        "CREATE TABLE other.\"T\" (n integer)");
    auto a = OpenPg({{"Table", "t"}});
    auto same = OpenPg({{"Table", "t"}});
    auto upper = OpenPg({{"Table", "T"}});
    auto other = OpenPg({{"Table", "T"}, {"Connection", "options='-c search_path=other'"}});
    const std::string identity = a->Get("Identity");
    EXPECT_EQ(0u, identity.rfind("postgresql:", 0)) << identity;
    EXPECT_EQ(":postgres:public.t", identity.substr(identity.find(":postgres:")));
    EXPECT_EQ(identity, same->Get("Identity"));
    // "T" is not made yet in public; in other it is that schema's table.
    EXPECT_EQ(":postgres:public.\"T\"",
              upper->Get("Identity").substr(upper->Get("Identity").find(":postgres:")));
    EXPECT_EQ(":postgres:other.\"T\"",
              other->Get("Identity").substr(other->Get("Identity").find(":postgres:")));
    EXPECT_EQ(identity.substr(0, identity.find(":postgres:")),
              other->Get("Identity").substr(0, other->Get("Identity").find(":postgres:")));
    EXPECT_EQ("", OpenPg()->Get("Identity"));
    Sql("DROP SCHEMA other CASCADE"); // the catalog test counts the schemas
}

} // namespace
} // namespace connectortest
