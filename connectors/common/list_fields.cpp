// SPDX-License-Identifier: Apache-2.0
#include "list_fields.h"

#include "owned_stream.h"
#include "rdx_field.h"
#include "rdx_fieldlist.h"
#include "rdx_status.h"

namespace rdxc {

uint32_t ListFieldsOf(uint32_t list, std::vector<ListField> &out) {
    out.clear();
    const uint32_t count = RDFieldlistGetCount(list);
    out.reserve(count);
    for (uint32_t position = 1; position <= count; ++position) {
        ListField entry;
        RDStream *name = nullptr;
        if (uint32_t status =
                RDFieldlistGetField(list, position, RDCHARSET_INTERCHANGE, &entry.field, &name);
            status != RDSTATUS_OK)
            return status;
        entry.type = RDFieldGetType(entry.field);
        if (name != nullptr && name->data != nullptr)
            entry.name.assign(reinterpret_cast<const char *>(name->data), name->length);
        out.push_back(std::move(entry));
    }
    return RDSTATUS_OK;
}

bool TakeSameFields(uint32_t list, std::vector<ListField> &fields) {
    std::vector<ListField> other;
    if (ListFieldsOf(list, other) != RDSTATUS_OK || other.size() != fields.size()) return false;
    for (size_t i = 0; i < other.size(); ++i)
        if (other[i].type != fields[i].type || other[i].name != fields[i].name) return false;
    fields.swap(other);
    return true;
}

uint32_t AppendListField(uint32_t list, std::string_view name, const ColumnType &type,
                         uint32_t *field) {
    OwnedStream text;
    if (uint32_t status = text.Set(RDCHARSET_INTERCHANGE, name); status != RDSTATUS_OK)
        return status;
    if (uint32_t status = RDFieldlistAppend(list, text.get(), type.type, field);
        status != RDSTATUS_OK)
        return status;
    return *field == 0 ? RDSTATUS_OK : ApplyColumnType(*field, type);
}

std::string ShownName(std::string_view name) {
    constexpr size_t kMost = 40;
    if (name.size() <= kMost) return std::string(name);
    size_t end = kMost;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end; // not inside a UTF-8 sequence
    return std::string(name.substr(0, end)) + "...";
}

uint32_t FillColumnCatalog(uint32_t list,
                           const std::vector<std::pair<std::string, std::string>> &columns,
                           FailureLog &log, uint32_t *count) {
    std::vector<ListField> fields;
    if (uint32_t status = ListFieldsOf(list, fields); status != RDSTATUS_OK) return status;
    if (fields.empty()) {
        ColumnType text;
        text.type = RDTYPE_TEXT;
        uint32_t field = 0;
        for (const char *name : {"Name", "Type"})
            if (uint32_t status = AppendListField(list, name, text, &field); status != RDSTATUS_OK)
                return status;
        if (uint32_t status = ListFieldsOf(list, fields); status != RDSTATUS_OK) return status;
    }
    if (fields.size() != 2) return log.Fail("the catalog of columns fills two fields");
    const size_t capacity = RDFieldlistGetRecordCount(list);
    for (size_t i = 0; i < columns.size() && i < capacity; ++i) {
        const uint32_t index = static_cast<uint32_t>(i + 1);
        for (size_t f = 0; f < 2; ++f)
            if (uint32_t status = TextToValue(fields[f].field, RDTYPE_TEXT, index,
                                              f == 0 ? columns[i].first : columns[i].second);
                status != RDSTATUS_OK)
                return status;
    }
    *count = static_cast<uint32_t>(columns.size());
    return RDSTATUS_OK;
}

} // namespace rdxc
