// SPDX-License-Identifier: Apache-2.0
#include "property_value.h"

#include "owned_stream.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"

#include <cctype>

namespace rdxc {

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

uint32_t GetText(uint32_t field, std::string &out) {
    out.clear();
    OwnedStream value;
    uint32_t isNull = 0;
    if (uint32_t status = RDFieldGetStream(field, 1, RDCHARSET_INTERCHANGE, value.get(), &isNull);
        status != RDSTATUS_OK)
        return status;
    if (isNull == 0) out.assign(value.View());
    return RDSTATUS_OK;
}

uint32_t GetInt(uint32_t field, int32_t &out) {
    out = 0;
    uint32_t isNull = 0;
    return RDFieldGetInt(field, 1, &out, &isNull);
}

uint32_t GetFlag(uint32_t field, bool &out) {
    out = false;
    if (RDFieldGetType(field) != RDTYPE_TEXT) {
        int32_t value = 0;
        const uint32_t status = GetInt(field, value);
        out = value != 0;
        return status;
    }
    std::string text;
    if (uint32_t status = GetText(field, text); status != RDSTATUS_OK) return status;
    for (const char *yes : {"yes", "true", "on", "1", "y"}) {
        if (SameWord(text, yes)) return out = true, RDSTATUS_OK;
    }
    for (const char *no : {"no", "false", "off", "0", "n", ""}) {
        if (SameWord(text, no)) return RDSTATUS_OK;
    }
    return RDSTATUS_NOINT;
}

uint32_t PutText(uint32_t field, std::string_view text) {
    OwnedStream value;
    if (uint32_t status = value.Set(RDCHARSET_INTERCHANGE, text); status != RDSTATUS_OK)
        return status;
    return RDFieldSetStream(field, 1, value.get());
}

uint32_t PutInt(uint32_t field, int32_t value) {
    return RDFieldSetInt(field, 1, &value);
}

} // namespace rdxc
