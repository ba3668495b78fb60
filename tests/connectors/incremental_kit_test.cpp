// SPDX-License-Identifier: Apache-2.0
// The typed comparison of incremental keys and the select text they make.
#include "key_compare.h"
#include "rdx_field.h"
#include "sql_select.h"

#include <gtest/gtest.h>

namespace connectortest {
namespace {

int Compare(uint32_t type, const char *a, const char *b) {
    int result = 9;
    EXPECT_TRUE(rdxc::CompareKeyTexts(type, a, b, result)) << a << " / " << b;
    return result;
}

TEST(IncrementalKeyCompare, NumbersCompareByValueNotByText) {
    EXPECT_EQ(1, Compare(RDTYPE_NUMERIC, "10.5", "9.25"));
    EXPECT_EQ(-1, Compare(RDTYPE_NUMERIC, "-1", "-0.5"));
    EXPECT_EQ(0, Compare(RDTYPE_NUMERIC, "7600.00", "7600"));
    EXPECT_EQ(0, Compare(RDTYPE_NUMERIC, "-0.00", "0"));
    EXPECT_EQ(-1, Compare(RDTYPE_NUMERIC, "-10", "0.01"));
    // Beyond 2^53 a double would call these equal.
    EXPECT_EQ(1, Compare(RDTYPE_NUMERIC, "9007199254740993", "9007199254740992"));
    EXPECT_EQ(-1, Compare(RDTYPE_NUMERIC, "-9223372036854775808", "-9223372036854775807"));
    EXPECT_EQ(1, Compare(RDTYPE_INT, "100", "99"));
    EXPECT_EQ(1, Compare(RDTYPE_FLOAT, "1.5e+020", "99999"));
    EXPECT_EQ(-1, Compare(RDTYPE_FLOAT, "-2.5", "-0.25"));
    int result = 0;
    EXPECT_FALSE(rdxc::CompareKeyTexts(RDTYPE_NUMERIC, "12a", "1", result));
}

TEST(IncrementalKeyCompare, DatetimesByInstantTextsByBytes) {
    EXPECT_EQ(-1, Compare(RDTYPE_DATETIME, "2024-01-01 10:00:00", "2024-01-01 10:00:00.01"));
    EXPECT_EQ(0, Compare(RDTYPE_DATETIME, "2024-01-01 10:00:00.50", "2024-01-01T10:00:00.5"));
    EXPECT_EQ(1, Compare(RDTYPE_DATETIME, "2024-01-02", "2024-01-01 23:59:59.99"));
    EXPECT_EQ(0, Compare(RDTYPE_DATETIME, "2024-01-01 12:00:00+02:00", "2024-01-01 10:00:00"));
    EXPECT_EQ(-1, Compare(RDTYPE_DATETIME, "1999-12-31 23:59:59.99", "2000-01-01"));
    EXPECT_EQ(-1, Compare(RDTYPE_TEXT, "B", "a"));
    EXPECT_EQ(1, Compare(RDTYPE_TEXT, "ab", "a"));
}

TEST(IncrementalKeyCompare, OperatorsAndPassing) {
    bool orEqual = true;
    EXPECT_TRUE(rdxc::ParseKeyOp(">", orEqual));
    EXPECT_FALSE(orEqual);
    EXPECT_TRUE(rdxc::ParseKeyOp(">=", orEqual));
    EXPECT_TRUE(orEqual);
    EXPECT_FALSE(rdxc::ParseKeyOp("<", orEqual));
    EXPECT_FALSE(rdxc::KeyPasses(0, false));
    EXPECT_TRUE(rdxc::KeyPasses(0, true));
    EXPECT_FALSE(rdxc::KeyPasses(-1, true));
}

class TestDialect : public rdxc::Dialect {
  public:
    std::span<const rdxc::SqlDialect> Readings() const override { return {}; }

  protected:
    std::string TypeName(rdxc::SqlType) const override { return "T"; }
    std::string Numeric(uint32_t, uint32_t) const override { return "N"; }
};

std::string Select(rdxc::SelectSource source) {
    TestDialect dialect;
    rdxc::FailureLog log;
    std::string sql;
    EXPECT_EQ(0u, rdxc::SelectText(
                      dialect, source, log, [] { return 0u; }, sql))
        << log.Last();
    return sql;
}

TEST(IncrementalSelect, KeyOrdersFirstAndFiltersOnlyWithAValue) {
    EXPECT_EQ("SELECT * FROM \"t\" WHERE \"k \"\"q\" >= ? ORDER BY \"k \"\"q\", \"id\"",
              Select({"", "t", "id", "k \"q", ">=", true}));
    EXPECT_EQ("SELECT * FROM \"t\" ORDER BY \"k\"", Select({"", "t", "", "k", ">", false}));
    EXPECT_EQ("SELECT * FROM (\nSELECT 1 AS k\n) rdx_ordered WHERE \"k\" > ? ORDER BY \"k\"",
              Select({"SELECT 1 AS k;", "", "", "k", ">", true}));
}

} // namespace
} // namespace connectortest
