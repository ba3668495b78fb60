// SPDX-License-Identifier: Apache-2.0
// Incremental reads of a file: a file has no order, so every record is
// read and those whose key does not pass the bookmark (IncrementalFrom,
// compared by the key field's type) are dropped as they are read. Nothing
// is kept of a dropped record: its values are overwritten by the next one,
// and the read position moves past it like past any other.
#include "csv_connection.h"
#include "property_value.h"
#include "value_text.h"

#include "rdx_status.h"

namespace rdcsv {
namespace {

// The column named key: by its exact name, else by the name in any case.
bool FindColumn(const std::vector<Column> &columns, const std::string &key, size_t &index) {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == key) return index = i, true;
    for (size_t i = 0; i < columns.size(); ++i)
        if (rdxc::SameWord(columns[i].name, key)) return index = i, true;
    return false;
}

std::string ColumnNames(const std::vector<Column> &columns) {
    std::string names;
    for (const Column &column : columns)
        names += (names.empty() ? "" : ", ") + column.name;
    return names;
}

} // namespace

// A key names a column of the file even on a first run without a value, so
// that a misspelt key is found before anything is copied.
uint32_t Connection::PrepareFilter(uint32_t list, const std::vector<Column> &columns) {
    filter_.active = false;
    if (incremental_.key.empty()) return RDSTATUS_OK;
    size_t column = 0;
    if (!FindColumn(columns, incremental_.key, column))
        return log_.Fail("the file " + settings_.path + " has no column " + incremental_.key +
                         " (IncrementalKey); its columns are " + ColumnNames(columns));
    if (incremental_.from.empty()) return RDSTATUS_OK;
    // The list's field decides the type when the select fills one.
    filter_.type = list != 0 ? selectedFields_[column].type : columns[column].type.type;
    if (!rdxc::ReadKey(filter_.type, incremental_.from, filter_.from))
        return log_.Fail("the incremental value \"" + incremental_.from + "\" is no " +
                         rdxc::ColumnTypeName(columns[column].type) + " value (column " +
                         columns[column].name + ")");
    filter_.column = column;
    filter_.active = true;
    return RDSTATUS_OK;
}

// The key's value as the field holds it, read back as text: the same text
// a copy takes its bookmark from. A null key never passes.
uint32_t Connection::KeyPasses(const std::vector<rdxc::ListField> &fields, uint32_t index,
                               bool &passes) {
    passes = true;
    if (!filter_.active || filter_.column >= fields.size()) return RDSTATUS_OK;
    const rdxc::ListField &field = fields[filter_.column];
    bool isNull = false;
    if (uint32_t status = rdxc::ValueToText(field.field, field.type, index, filter_.text, isNull);
        status != RDSTATUS_OK)
        return status;
    passes =
        !isNull && rdxc::ReadKey(filter_.type, filter_.text, filter_.value) &&
        rdxc::KeyPasses(rdxc::CompareKeys(filter_.value, filter_.from), incremental_.OrEqual());
    return RDSTATUS_OK;
}

} // namespace rdcsv
