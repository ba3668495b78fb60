// SPDX-License-Identifier: Apache-2.0
// Datetime text reader on any bytes, under international settings (date
// order, clock, zone, separators and AM/PM texts with lengths that may lie)
// taken from the input. A text that reads must write and read back to the
// same value under plain settings in the same zone.
#include "fuzz_input.h"
#include "rdplat.h"
#include "values/text_internal.h"

#include <cstring>

namespace {

// A text field and its length (which may lie) from the input. The record
// is packed: its fields are written through copies.
uint32_t TakeText(rdxfuzz::Input &input, char *field) {
    const uint32_t length = input.Byte() % 8;
    input.Bytes(reinterpret_cast<uint8_t *>(field), std::min<size_t>(length, RDINTL_TEXT_SIZE));
    return length;
}

void SetText(char *field, const char *text) {
    std::strcpy(field, text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    rdxfuzz::Input input(data, size);
    RDIntlFormat intl{};
    intl.intlFlags = input.Byte();
    intl.dateOrder = input.Byte() % 4;
    intl.timeZone = static_cast<int8_t>(input.Byte()) * 100 / 4 + static_cast<int8_t>(input.Byte());
    intl.amTextLength = TakeText(input, intl.amText);
    intl.pmTextLength = TakeText(input, intl.pmText);
    intl.decimalSeparatorLength = TakeText(input, intl.decimalSeparator);
    intl.dateSeparatorLength = TakeText(input, intl.dateSeparator);
    intl.timeSeparatorLength = TakeText(input, intl.timeSeparator);
    const std::vector<uint8_t> text = input.Rest();
    rdxfuzz::Require(RDPlatSetIntlFormat(&intl) == 0);

    RDDatetime value{1, 2};
    const uint32_t status = rdx::text::ReadDatetime(
        std::string_view(reinterpret_cast<const char *>(text.data()), text.size()), &value);
    rdxfuzz::Require(status == 0 || status == 12807);
    if (status != 0) {
        rdxfuzz::Require(value.ticks == 1 && value.date == 2);
        return 0;
    }
    // Daylight-saving values may fall in the repeated October hour, which
    // reads back as standard time.
    if ((value.date >> 24 & RDDT_ZONE_DST) != 0 && value.date != RDDT_ABSENT) return 0;
    RDIntlFormat plain{};
    plain.dateOrder = RDINTL_MDY;
    plain.timeZone = RDPlatGetIntlFormat()->timeZone;
    SetText(plain.amText, "AM");
    SetText(plain.pmText, "PM");
    SetText(plain.decimalSeparator, ".");
    SetText(plain.dateSeparator, "/");
    SetText(plain.timeSeparator, ":");
    rdxfuzz::Require(RDPlatSetIntlFormat(&plain) == 0);
    std::string written;
    rdxfuzz::Require(rdx::text::WriteDatetime(value, &written) == 0);
    RDDatetime again{};
    rdxfuzz::Require(rdx::text::ReadDatetime(written, &again) == 0 || written.empty());
    rdxfuzz::Require(written.empty() || std::memcmp(&again, &value, sizeof value) == 0);
    return 0;
}
