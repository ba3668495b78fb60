// SPDX-License-Identifier: Apache-2.0
// The datetime text: the date in the settings' order, then the time on the
// 24-hour or the 12-hour clock. On the 12-hour clock hours 0-11 carry the
// AM text and hours 12-23 the PM text (00:30 is 12:30 AM, 12:30 is
// 12:30 PM).
#include "rdplat_intl.h"
#include "rdx_status.h"
#include "rdx_text.h"
#include "values/datetime_internal.h"
#include "values/text_internal.h"

#include <algorithm>
#include <charconv>
#include <new>

namespace rdx::text {
namespace {

std::string_view Setting(const char *text, uint32_t length) {
    return std::string_view(text, std::min<uint32_t>(length, RDINTL_TEXT_SIZE - 1));
}

// A number with at least two digits.
void AppendNumber(std::string &text, int32_t number) {
    if (number >= 0 && number < 10) text += '0';
    char digits[16];
    text.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
}

void AppendDate(std::string &text, const RDDatetimeParts &p, const RDIntlFormat &f) {
    const int32_t mdy[3] = {p.month, p.day, p.year}, dmy[3] = {p.day, p.month, p.year},
                  ymd[3] = {p.year, p.month, p.day};
    const int32_t *order = f.dateOrder == RDINTL_DMY ? dmy : f.dateOrder == RDINTL_YMD ? ymd : mdy;
    const std::string_view separator = Setting(f.dateSeparator, f.dateSeparatorLength);
    for (int i = 0; i < 3; ++i) {
        if (i != 0) text += separator;
        AppendNumber(text, order[i]);
    }
}

void AppendTime(std::string &text, const RDDatetimeParts &p, const RDIntlFormat &f) {
    const bool clock24 = (f.intlFlags & RDINTL_24HOUR) != 0;
    int32_t hour = p.hour;
    if (!clock24) hour = hour % 12 == 0 ? 12 : hour % 12;
    const std::string_view separator = Setting(f.timeSeparator, f.timeSeparatorLength);
    AppendNumber(text, hour);
    text += separator;
    AppendNumber(text, p.minute);
    text += separator;
    AppendNumber(text, p.second);
    if (p.hundredth != 0) {
        text += Setting(f.decimalSeparator, f.decimalSeparatorLength);
        AppendNumber(text, p.hundredth);
    }
    if (!clock24) {
        text += ' ';
        text += p.hour < 12 ? Setting(f.amText, f.amTextLength) : Setting(f.pmText, f.pmTextLength);
    }
}

} // namespace

uint32_t WriteDatetime(const RDDatetime &datetime, std::string *text) {
    const RDIntlFormat *f = RDPlatGetIntlFormat();
    if (f == nullptr) return RDSTATUS_NOINTLFORMAT;
    RDDatetimeParts p;
    if (dt::SplitToParts(datetime, dt::OwnZone(datetime), &p) != RDSTATUS_OK)
        return RDSTATUS_NODATETIME;
    text->clear();
    if (dt::HasDate(datetime)) AppendDate(*text, p, *f);
    if (dt::HasDate(datetime) && dt::HasTime(datetime)) *text += ' ';
    if (dt::HasTime(datetime)) AppendTime(*text, p, *f);
    return RDSTATUS_OK;
}

} // namespace rdx::text

using namespace rdx::text;

extern "C" RD_EXPORT uint32_t RDStreamFromDatetime(RDStream *stream, const RDDatetime *datetime,
                                                   uint32_t charset) {
    if (uint32_t status = CheckWriter(stream, charset); status != RDSTATUS_OK) return status;
    if (datetime == nullptr) return RDSTATUS_NODATETIME;
    try {
        std::string text;
        if (uint32_t status = WriteDatetime(*datetime, &text); status != RDSTATUS_OK) return status;
        if (charset == RDCHARSET_INTERCHANGE)
            return RDStreamDataSet(stream, charset, text.data(),
                                   static_cast<uint32_t>(text.size()));
        return StoreText(stream, text, RDCHARSET_INTERCHANGE, charset);
    } catch (const std::bad_alloc &) {
        return RDSTATUS_NOMEMORY;
    }
}
