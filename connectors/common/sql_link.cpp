// SPDX-License-Identifier: Apache-2.0
// The shared properties of SQL connections.
#include "sql_link.h"

#include "connector_actions.h"
#include "connector_records.h"
#include "connector_resume.h"
#include "property_value.h"
#include "rdx_status.h"
#include "sql_write.h"

namespace rdxc {

uint32_t SqlLink::SetProperty(uint32_t number, uint32_t field) {
    const uint32_t index = PropertyIndex(number);
    if (uint32_t status = SetShared(index, field); status != kNotShared) return status;
    return SetOwn(index, field);
}

uint32_t SqlLink::Unsupported(const char *operation) {
    return log_.Keep(std::string(kind_) + " do not support " + operation, RDSTATUS_BADPATTERN);
}

uint32_t SqlLink::Update(uint32_t list, uint32_t first, uint32_t count, uint32_t *done) {
    return WriteBatch(Write::Update, list, first, count, done);
}

uint32_t SqlLink::Remove(uint32_t list, uint32_t first, uint32_t count, uint32_t *done) {
    if (list != 0) return WriteBatch(Write::Remove, list, first, count, done);
    *done = 0;
    return RemoveBySql(done);
}

uint32_t SqlLink::Create(uint32_t kind, uint32_t list) {
    if (!IsTableKind(kind)) return Unsupported("this object kind");
    if (uint32_t status = NeedTable(); status != RDSTATUS_OK) return status;
    return ChangeTable(kind, list);
}

uint32_t SqlLink::Drop(uint32_t kind) {
    if (kind != kCreateTable) return Unsupported("this object kind");
    if (uint32_t status = NeedTable(); status != RDSTATUS_OK) return status;
    return DropTable();
}

uint32_t SqlLink::WriteBatch(Write kind, uint32_t, uint32_t, uint32_t, uint32_t *) {
    return Unsupported(kind == Write::Update ? "update" : "remove");
}

uint32_t SqlLink::RemoveBySql(uint32_t *) {
    return Unsupported("remove");
}

uint32_t SqlLink::GetProperty(uint32_t number, uint32_t field) {
    const uint32_t index = PropertyIndex(number);
    if (uint32_t status = GetShared(index, field); status != kNotShared) return status;
    return GetOwn(index, field);
}

uint32_t SqlLink::SetShared(uint32_t index, uint32_t field) {
    if (ValueRules::Handles(index)) return values_.SetProperty(index, field, log_);
    if (numbers_.marks && (index == kMarkName || index == kMark))
        return mark_.SetProperty(index, field, log_);
    if (index == kOrderBy) return GetText(field, source_.orderBy);
    if (IncrementalRead::Handles(index)) return incremental_.SetProperty(index, field, log_);
    if (numbers_.keyedWrites && index == kWriteMode) return SetWriteMode(field);
    if (numbers_.keyedWrites && index == kKey) {
        WriteTargetChanged(false);
        return GetText(field, target_.key);
    }
    if (index == kCreateText) return DescribeCreate(field);
    if (Is(index, numbers_.sql)) return GetText(field, source_.sql);
    if (Is(index, numbers_.database)) return GetText(field, source_.database);
    if (Is(index, numbers_.table) || Is(index, numbers_.keys)) {
        const bool table = index == numbers_.table;
        WriteTargetChanged(table);
        return GetText(field, table ? source_.table : source_.keys);
    }
    return kNotShared;
}

SelectSource SqlLink::Source() const {
    return {source_.sql,      source_.table,   source_.orderBy,
            incremental_.key, incremental_.op, incremental_.Filters()};
}

uint32_t SqlLink::SelectInto(uint32_t list, size_t columns,
                             const std::function<std::vector<SelectColumn>()> &describe) {
    const uint32_t status = SelectFields(list, columns, describe, log_, selectedFields_);
    if (status == RDSTATUS_OK) selectedList_ = list;
    return status;
}

uint32_t SqlLink::ColumnFault(size_t column, uint32_t status, const std::string &problem,
                              bool detail) {
    if (status == RDSTATUS_NOMEMORY) return status;
    return log_.RecordFault("row " + std::to_string(rowNumber_) + ", column " +
                                std::to_string(column + 1) + " (" + selectedFields_[column].name +
                                "): " + problem,
                            detail ? status : 0);
}

uint32_t SqlLink::NewTableFields(uint32_t list, std::vector<ListField> &fields) {
    if (uint32_t status = ListFieldsOf(list, fields); status != RDSTATUS_OK) return status;
    if (fields.empty()) return log_.Fail("a new table needs a field list with fields");
    return RDSTATUS_OK;
}

uint32_t SqlLink::DescribeCreate(uint32_t field) {
    const Dialect *dialect = TableDialect();
    if (dialect == nullptr) return Unsupported("describing a new table");
    if (source_.table.empty()) return log_.Fail("no table is named (property Table)");
    int32_t list = 0;
    if (uint32_t status = GetInt(field, list); status != RDSTATUS_OK) return status;
    std::vector<ListField> fields;
    if (uint32_t status = NewTableFields(static_cast<uint32_t>(list), fields);
        status != RDSTATUS_OK)
        return status;
    std::vector<std::string> key;
    if (uint32_t status = NewTableKey(fields, key); status != RDSTATUS_OK) return status;
    createText_ = dialect->CreateTable(source_.table, fields, key);
    return RDSTATUS_OK;
}

uint32_t SqlLink::TableStatements(const Dialect &dialect, uint32_t kind, uint32_t list,
                                  std::vector<std::string> &statements, size_t &columns,
                                  std::optional<bool> exists) {
    statements.clear();
    columns = 0;
    if (kind == kEmptyTable) {
        statements.push_back(dialect.EmptyTable(source_.table));
        return RDSTATUS_OK;
    }
    std::vector<ListField> fields;
    if (uint32_t status = NewTableFields(list, fields); status != RDSTATUS_OK) return status;
    std::vector<std::string> key;
    if (uint32_t status = NewTableKey(fields, key); status != RDSTATUS_OK) return status;
    // A table that is there already is kept as it is.
    if (kind == kEnsureTable && exists.value_or(false)) return RDSTATUS_OK;
    if (kind == kReplaceTable && !exists)
        statements.push_back(dialect.DropTableIfExists(source_.table));
    if (kind == kReplaceTable && exists.value_or(false))
        statements.push_back(dialect.DropTable(source_.table));
    statements.push_back(dialect.CreateTable(source_.table, fields, key));
    columns = fields.size();
    return RDSTATUS_OK;
}

uint32_t SqlLink::SetWriteMode(uint32_t field) {
    std::string text;
    if (uint32_t status = GetText(field, text); status != RDSTATUS_OK) return status;
    if (SameWord(text, "insert") || text.empty())
        target_.mode = WriteMode::Insert;
    else if (SameWord(text, "upsert"))
        target_.mode = WriteMode::Upsert;
    else if (SameWord(text, "delete-insert"))
        target_.mode = WriteMode::DeleteInsert;
    else
        return log_.Fail("WriteMode is \"insert\", \"upsert\" or \"delete-insert\", not \"" + text +
                         "\"");
    WriteTargetChanged(false);
    return RDSTATUS_OK;
}

uint32_t SqlLink::TargetKey(const std::vector<ListField> &fields, std::vector<size_t> &keys) {
    const std::vector<std::string> names = KeyNames(target_.key);
    if (names.empty())
        return log_.Fail(
            std::string(target_.mode == WriteMode::Upsert ? "an upsert" : "a delete-insert") +
            " needs the key columns (property Key)");
    return KeyFields(fields, names, log_, keys);
}

uint32_t SqlLink::NewTableKey(const std::vector<ListField> &fields, std::vector<std::string> &key) {
    key.clear();
    std::vector<size_t> keys;
    if (uint32_t status = KeyFields(fields, KeyNames(target_.key), log_, keys);
        status != RDSTATUS_OK)
        return status;
    for (size_t k : keys)
        key.push_back(fields[k].name);
    return RDSTATUS_OK;
}

void SqlLink::LogTableChange(uint32_t kind, size_t columns, const std::string &where) const {
    if (kind == kEnsureTable && columns == 0) return; // kept as it was
    const char *done = kind == kReplaceTable ? "Replaced"
                       : kind == kEmptyTable ? "Emptied"
                                             : "Created";
    std::string text = std::string(done) + " table " + source_.table + " in " + where;
    if (kind != kEmptyTable)
        text += " (" + std::to_string(columns) + (columns == 1 ? " column)" : " columns)");
    LogInformation(text + ".");
}

uint32_t SqlLink::HideSecrets(uint32_t status, const std::string &connection, SecretForm form,
                              const std::string &password) {
    std::vector<std::string> secrets = SecretsIn(connection, form);
    secrets.push_back(password);
    log_.SetSecrets(std::move(secrets));
    return status;
}

uint32_t SqlLink::GetShared(uint32_t index, uint32_t field) {
    if (ValueRules::Handles(index)) return values_.GetProperty(index, field);
    if (numbers_.marks && (index == kMarkName || index == kMark))
        return mark_.GetProperty(index, field);
    if (index == kOrderBy) return PutText(field, source_.orderBy);
    if (IncrementalRead::Handles(index)) return incremental_.GetProperty(index, field);
    if (numbers_.keyedWrites && index == kWriteMode)
        return PutText(field, target_.mode == WriteMode::Upsert         ? "upsert"
                              : target_.mode == WriteMode::DeleteInsert ? "delete-insert"
                                                                        : "insert");
    if (numbers_.keyedWrites && index == kKey) return PutText(field, target_.key);
    if (Is(index, numbers_.sql)) return PutText(field, source_.sql);
    if (Is(index, numbers_.database)) return PutText(field, source_.database);
    if (Is(index, numbers_.table)) return PutText(field, source_.table);
    if (Is(index, numbers_.keys)) return PutText(field, source_.keys);
    if (Is(index, numbers_.lastError)) return PutText(field, log_.Last());
    if (index == kIdentity) return PutText(field, Identity());
    if (index == kCreateText) return PutText(field, createText_);
    return kNotShared;
}

} // namespace rdxc
