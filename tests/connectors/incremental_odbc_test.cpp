// SPDX-License-Identifier: Apache-2.0
// Incremental selects of rdodbc through the SQLite ODBC driver, on a table
// rdodbc made and filled itself: the bookmark is the text of a key value as
// it was fetched, and the bound value compares with the rows as the values
// the connector wrote.
#include "incremental_checks.h"
#include "odbc_test_env.h"
#include "value_text.h"

namespace connectortest {
namespace {

class IncrementalOdbcTest : public OdbcTest {
  protected:
    // Fields of each key type, numeric(14,2) among them; values as in the
    // PostgreSQL test, a double with no exact binary form included.
    void SetUp() override {
        OdbcTest::SetUp();
        auto db = Open({{"Table", "t"}});
        List rows(5);
        Fill(rows,
             {{"id", RDTYPE_INT},
              {"i k", RDTYPE_INT},
              {"n k", RDTYPE_NUMERIC},
              {"d k", RDTYPE_FLOAT},
              {"t k", RDTYPE_DATETIME}},
             {{"1", "-5", "-10.5", "-1.5", "<null>"},
              {"2", "3", "9.25", "0.1", "<null>"},
              {"3", "3", "9.25", "0.1", "<null>"},
              {"4", "12", "10.5", "2.7", "<null>"},
              {"5", "<null>", "<null>", "<null>", "<null>"}});
        // The precision is set before the values, which it clears.
        uint32_t numeric = 0;
        ASSERT_EQ(0u, RDFieldlistGetField(rows, 3, 256, &numeric, nullptr));
        ASSERT_EQ(0u, rdxc::ApplyColumnType(numeric, {RDTYPE_NUMERIC, 14, 2}));
        uint32_t index = 1;
        for (const char *value : {"-10.5", "9.25", "9.25", "10.5"})
            ASSERT_EQ(0u, rdxc::TextToValue(numeric, RDTYPE_NUMERIC, index++, value));
        SetDatetime(rows, 5, 1, {1999, 12, 31, -1, 23, 59, 59, 99, 0, 0});
        for (uint32_t index : {2u, 3u})
            SetDatetime(rows, 5, index, {2024, 1, 1, -1, 10, 0, 0, 50, 0, 0});
        SetDatetime(rows, 5, 4, {2024, 1, 1, -1, 10, 0, 0, 51, 0, 0});
        ASSERT_EQ(0u, odbc_.RDXCreate(db->Private(), 3, rows)) << db->LastError();
        uint32_t done = 0;
        ASSERT_EQ(0u, db->Insert(rows, 1, 5, &done)) << db->LastError();
    }

    Opener Rdodbc() {
        return [this](const std::vector<std::pair<std::string, std::string>> &props) {
            return Open(props);
        };
    }
};

TEST_F(IncrementalOdbcTest, ReadsPastTheFetchedTextOfEachKeyType) {
    // SQLite sorts the null key first.
    const Ids all{"5", "1", "2", "3", "4"};
    ExpectKeyFilters(Rdodbc(), "i k", 1, all);
    ExpectKeyFilters(Rdodbc(), "n k", 2, all);
    ExpectKeyFilters(Rdodbc(), "d k", 3, all);
    ExpectKeyFilters(Rdodbc(), "t k", 4, all);
    ExpectIsoBookmarks(Rdodbc());
    ExpectSelectTextAndRefusal(Rdodbc(), "SELECT id, \"i k\" AS k FROM t WHERE id < 4");
}

} // namespace
} // namespace connectortest
