// SPDX-License-Identifier: Apache-2.0
// The SQL layer of the connector kit: names quoted with their quotes
// doubled, the statements a dialect builds, keyed writes numbering their
// parameters in the order they stand, and selects of a text or a table
// ordered by OrderBy, and the field list a select fills.
#include "connector_harness.h"
#include "connector_log.h"
#include "rdx_status.h"
#include "sql_dialect.h"
#include "sql_select.h"
#include "sql_write.h"

#include <gtest/gtest.h>

namespace connectortest {
namespace {

// A dialect with numbered markers, a null-safe comparison of its own and
// OrderBy columns refused when they hold a blank.
class TestDialect : public rdxc::Dialect {
  public:
    std::string Marker(size_t number) const override { return "$" + std::to_string(number); }
    std::string_view NullSafeEquals() const override { return " IS NOT DISTINCT FROM "; }
    std::string OrderColumn(std::string_view name, std::string &error) const override {
        if (name.find(' ') != std::string_view::npos) error = "no blanks";
        return rdxc::QuoteName(name, '`');
    }
    std::span<const rdxc::SqlDialect> Readings() const override {
        return {&rdxc::kSqliteDialect, 1};
    }

  protected:
    std::string TypeName(rdxc::SqlType) const override { return "T"; }
    std::string Numeric(uint32_t precision, uint32_t scale) const override {
        return "N" + Digits(precision, scale);
    }
};

// The base dialect as it is: "?" markers and " IS ".
class PlainDialect : public TestDialect {
  public:
    std::string Marker(size_t number) const override { return Dialect::Marker(number); }
    std::string_view NullSafeEquals() const override { return Dialect::NullSafeEquals(); }
};

std::vector<rdxc::ListField> Fields(std::initializer_list<const char *> names) {
    std::vector<rdxc::ListField> fields;
    for (const char *name : names)
        fields.push_back({0, 0, name});
    return fields;
}

TEST(SqlKitTest, NamesAreQuotedWithTheirQuotesDoubled) {
    const PlainDialect dialect;
    EXPECT_EQ("\"a\"\"b\"", dialect.Quote("a\"b"));
    EXPECT_EQ("\"\"", dialect.Quote(""));
    EXPECT_EQ("`x``y\"`", rdxc::QuoteName("x`y\"", '`'));
    EXPECT_EQ("DROP TABLE \"my \"\"t\"\"\"", dialect.DropTable("my \"t\""));
    EXPECT_EQ("SELECT * FROM \"t\"", dialect.SelectAll("t"));
    EXPECT_EQ("INSERT INTO \"t\" (\"a\", \"b\") VALUES (?, COALESCE(?, ?))",
              dialect.Insert("t", {"a", "b"}, {"?", "COALESCE(?, ?)"}));
    EXPECT_EQ("\"a\", \"b\"\"\"", rdxc::QuotedList(dialect, {"a", "b\""}));
}

TEST(SqlKitTest, KeyedWritesNumberTheirParametersInTheOrderTheyStand) {
    const TestDialect dialect;
    const std::vector<rdxc::ListField> fields = Fields({"id", "name", "part", "size"});
    std::vector<size_t> order;
    auto parameter = [&](size_t i) {
        order.push_back(i);
        return dialect.Marker(order.size());
    };
    // Keys out of field order: the SET list first, then the keys as given.
    EXPECT_EQ("UPDATE \"t\" SET \"name\" = $1, \"size\" = $2 WHERE \"part\" IS NOT DISTINCT "
              "FROM $3 AND \"id\" IS NOT DISTINCT FROM $4",
              rdxc::KeyedWrite(dialect, true, "t", fields, {2, 0}, parameter));
    EXPECT_EQ((std::vector<size_t>{1, 3, 2, 0}), order);
    order.clear();
    EXPECT_EQ("DELETE FROM \"t\" WHERE \"part\" IS NOT DISTINCT FROM $1",
              rdxc::KeyedWrite(dialect, false, "t", fields, {2}, parameter));
    EXPECT_EQ((std::vector<size_t>{2}), order);
    const PlainDialect plain;
    EXPECT_EQ("DELETE FROM \"t\" WHERE \"id\" IS ? AND \"name\" IS ?",
              rdxc::KeyedWrite(plain, false, "t", fields, {0, 1},
                               [&](size_t) { return plain.Marker(0); }));
    // Keys are found without case; a name that is no field is refused.
    rdxc::FailureLog log;
    std::vector<size_t> keys;
    EXPECT_EQ(RDSTATUS_OK, rdxc::KeyFields(fields, {"PART", "Id"}, log, keys));
    EXPECT_EQ((std::vector<size_t>{2, 0}), keys);
    EXPECT_EQ(RDSTATUS_FREETEXT, rdxc::KeyFields(fields, {"id", "nope"}, log, keys));
    EXPECT_EQ("the key field nope is not in the field list", log.Last());
    // An update of key fields alone has nothing to set.
    EXPECT_EQ("", rdxc::KeyedWrite(plain, true, "t", Fields({"id"}), {0},
                                   [&](size_t) { return plain.Marker(0); }));
}

TEST(SqlKitTest, SelectsReadTheTextOrTheTableInOrder) {
    const TestDialect dialect;
    rdxc::FailureLog log;
    int asked = 0;
    auto needTable = [&] {
        ++asked;
        return RDSTATUS_OK;
    };
    std::string sql;
    std::vector<std::string> columns{"stale"};
    ASSERT_EQ(RDSTATUS_OK, rdxc::SelectText(dialect, {"SELECT 1;  -- done", "t", ""}, log,
                                            needTable, sql, &columns));
    EXPECT_EQ("SELECT 1", sql);
    EXPECT_TRUE(columns.empty());
    EXPECT_EQ(0, asked);

    ASSERT_EQ(RDSTATUS_OK,
              rdxc::SelectText(dialect, {"", "t", " b , a`"}, log, needTable, sql, &columns));
    EXPECT_EQ(1, asked);
    EXPECT_EQ("SELECT * FROM \"t\" ORDER BY `b`, `a```", sql);
    EXPECT_EQ((std::vector<std::string>{"b", "a`"}), columns);

    // The table's own failure is the status; a column the dialect cannot
    // quote and a second statement are logged.
    EXPECT_EQ(RDSTATUS_NOTCONNECTED,
              rdxc::SelectText(
                  dialect, {"", "t", ""}, log, [] { return RDSTATUS_NOTCONNECTED; }, sql));
    EXPECT_EQ(RDSTATUS_FREETEXT,
              rdxc::SelectText(dialect, {"SELECT 1", "", "a b"}, log, needTable, sql));
    EXPECT_EQ("no blanks", log.Last());
    EXPECT_EQ(RDSTATUS_FREETEXT,
              rdxc::SelectText(dialect, {"SELECT 1; DROP TABLE t", "", ""}, log, needTable, sql));
    EXPECT_NE(std::string::npos, log.Last().find("more than one statement")) << log.Last();
}

// Field lists need the running system.
class SqlKitLists : public rdxtest::SystemTest {};

TEST_F(SqlKitLists, ASelectGivesAnEmptyListItsColumnsAndRefusesAnotherWidth) {
    rdxc::FailureLog log;
    List list(1);
    int added = 0;
    auto two = [&] {
        ++added;
        return std::vector<rdxc::SelectColumn>{{"a", {RDTYPE_TEXT, 0, 0}},
                                               {"b", {RDTYPE_INT, 0, 0}}};
    };
    std::vector<rdxc::ListField> fields;
    ASSERT_EQ(RDSTATUS_OK, rdxc::SelectFields(list, 2, two, log, fields));
    ASSERT_EQ(2u, fields.size());
    EXPECT_EQ("b", fields[1].name);
    EXPECT_EQ(RDTYPE_INT, fields[1].type);
    // A list that has fields keeps them: only their number is checked.
    ASSERT_EQ(RDSTATUS_OK, rdxc::SelectFields(list, 2, two, log, fields));
    EXPECT_EQ(1, added);
    EXPECT_EQ(RDSTATUS_FREETEXT, rdxc::SelectFields(list, 3, two, log, fields));
    EXPECT_EQ("the field list has 2 fields, the select 3 columns", log.Last());
    // A column that cannot be added fails the select with its status.
    List empty(1);
    auto untyped = [] { return std::vector<rdxc::SelectColumn>{{"a", {0, 0, 0}}}; };
    EXPECT_EQ(RDSTATUS_BADTYPE, rdxc::SelectFields(empty, 1, untyped, log, fields));
}

} // namespace
} // namespace connectortest
