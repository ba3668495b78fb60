// SPDX-License-Identifier: Apache-2.0
// Datetime lists to text and back, through the datetime text forms.
#include "rdx_status.h"
#include "translate/value_list.h"
#include "values/text_internal.h"

#include <cstring>

namespace rdx {
namespace {

uint32_t FormatDatetime(const uint8_t *item, std::string *text) {
    RDDatetime value;
    std::memcpy(&value, item, sizeof value);
    std::string formatted;
    const uint32_t status = text::WriteDatetime(value, &formatted);
    if (status == RDSTATUS_OK) *text += formatted;
    return status;
}

uint32_t ParseDatetime(std::string_view item, uint8_t *bytes) {
    RDDatetime value;
    if (text::ReadDatetime(item, &value) != RDSTATUS_OK) return RDSTATUS_NODATETIME;
    std::memcpy(bytes, &value, sizeof value);
    return RDSTATUS_OK;
}

} // namespace

uint32_t DatetimeListToText(const RDStream &list, RDStream *text) {
    return valuelist::ListToText(list, FormatDatetime, text);
}

uint32_t TextToDatetimeList(const RDStream &text, RDStream *list) {
    return valuelist::TextToList(text, ParseDatetime, false, list);
}

} // namespace rdx
