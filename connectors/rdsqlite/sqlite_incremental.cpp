// SPDX-License-Identifier: Apache-2.0
// The value of an incremental select, bound as rdsqlite writes a value of
// the key column's type, so that a row holding what a copy wrote for the
// bookmark compares equal to it.
#include "sqlite_connection.h"

#include "key_compare.h"
#include "property_value.h"
#include "rdx_field.h"
#include "rdx_status.h"
#include "sqlite_values.h"

namespace rdsqlite {
namespace {

// The result column named key: its exact name first, else one that differs
// in case only, as SQLite matches names; -1 when there is none.
int KeyColumn(sqlite3_stmt *statement, const std::string &key) {
    const int columns = sqlite3_column_count(statement);
    for (int i = 0; i < columns; ++i)
        if (key == sqlite3_column_name(statement, i)) return i;
    for (int i = 0; i < columns; ++i)
        if (rdxc::SameWord(key, sqlite3_column_name(statement, i))) return i;
    return -1;
}

// A key column without a declared type (an expression): the type its text
// reads as, whole numbers as 64-bit integers.
rdxc::ColumnType TypeOfText(std::string_view text) {
    if (rdxc::TextIsInt(text)) return {RDTYPE_NUMERIC, rdxc::kBigintPrecision, 0};
    if (rdxc::TextIsDecimal(text) || rdxc::TextIsFloat(text)) return {RDTYPE_FLOAT, 0, 0};
    if (rdxc::TextIsDatetime(text)) return {RDTYPE_DATETIME, 0, 0};
    return {RDTYPE_TEXT, 0, 0};
}

} // namespace

uint32_t Connection::BindKey(sqlite3_stmt *statement, sqlite3_stmt *columns) {
    if (!incremental_.Filters()) return RDSTATUS_OK;
    if (columns == nullptr) columns = statement;
    const int column = KeyColumn(columns, incremental_.key);
    if (column < 0)
        return log_.Fail("the select has no column " + incremental_.key +
                         " (property IncrementalKey)");
    const char *declared = sqlite3_column_decltype(columns, column);
    const std::string_view declaredText = declared == nullptr ? "" : declared;
    const rdxc::ColumnType type =
        declaredText.empty() ? TypeOfText(incremental_.from) : FieldTypeOf(declaredText, 0);
    uint32_t field = 0;
    std::string problem;
    if (uint32_t status = rdxc::KeyField(type, incremental_.from, field, problem);
        status != RDSTATUS_OK)
        return problem.empty() ? status : log_.Fail(problem);
    // The bookmark was read from this column: its digits are never refused.
    TargetColumn target = TargetColumnOf(declaredText);
    target.scale = -1;
    const uint32_t status =
        BindValue(statement, 1, field, type.type, 1, target, values_, keyText_, problem);
    RDFieldFree(field);
    if (status == RDSTATUS_OK) return status;
    return log_.Fail("the incremental value cannot be bound: " + problem);
}

} // namespace rdsqlite
