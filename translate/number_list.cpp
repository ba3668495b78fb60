// SPDX-License-Identifier: Apache-2.0
// Number lists to text and back: the values are doubles in the float text
// form; an item is read as a decimal number (empty is 0, a value out of
// range is refused).
#include "rdx_status.h"
#include "translate/value_list.h"
#include "values/text_internal.h"

#include <cstring>

namespace rdx {
namespace {

uint32_t FormatNumber(const uint8_t *item, std::string *text) {
    double value;
    std::memcpy(&value, item, sizeof value);
    *text += text::FormatFloat(value);
    return RDSTATUS_OK;
}

uint32_t ParseNumber(std::string_view item, uint8_t *bytes) {
    while (!item.empty() && text::IsSpace(item.front()))
        item.remove_prefix(1);
    if (!item.empty() && item.front() == '+') item.remove_prefix(1);
    double value = 0.0;
    bool outOfRange = false;
    text::ParseFloat(item, &value, &outOfRange);
    if (outOfRange) return RDSTATUS_NOFIT;
    std::memcpy(bytes, &value, sizeof value);
    return RDSTATUS_OK;
}

} // namespace

uint32_t NumberListToText(const RDStream &list, RDStream *text) {
    return valuelist::ListToText(list, FormatNumber, text);
}

uint32_t TextToNumberList(const RDStream &text, RDStream *list) {
    return valuelist::TextToList(text, ParseNumber, true, list);
}

} // namespace rdx
