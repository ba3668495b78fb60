// SPDX-License-Identifier: Apache-2.0
// Currency text reader on any bytes, under international settings whose
// symbol and separators (up to six bytes, with lengths that may lie) come
// from the input. An amount that reads must write and read back the same.
#include "fuzz_input.h"
#include "values/currency_internal.h"

#include <algorithm>
#include <cstring>

namespace {

// A text of the settings; its length field (returned) may claim more bytes
// than the field's room.
uint32_t TakeText(rdxfuzz::Input &input, char (&field)[RDINTL_TEXT_SIZE]) {
    const uint32_t length = input.Byte() % 8;
    input.Bytes(reinterpret_cast<uint8_t *>(field), std::min<size_t>(length, RDINTL_TEXT_SIZE));
    return length;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    rdxfuzz::Input input(data, size);
    RDIntlFormat intl{};
    intl.currencySymbolLength = TakeText(input, intl.currencySymbol);
    intl.thousandSeparatorLength = TakeText(input, intl.thousandSeparator);
    intl.decimalSeparatorLength = TakeText(input, intl.decimalSeparator);
    const std::vector<uint8_t> text = input.Rest();

    int64_t value = 77;
    const uint32_t status = rdx::ReadCurrencyText(text.data(), text.size(), intl, &value);
    rdxfuzz::Require(status == 0 || status == 12801 || status == 12805);
    if (status == 12805) rdxfuzz::Require(value == 77);
    if (status == 12801) rdxfuzz::Require(value == rdx::kCurrencyMax || value == rdx::kCurrencyMin);
    if (status != 0) return 0;
    rdxfuzz::Require(value != INT64_MIN);

    RDIntlFormat plain{};
    std::strcpy(plain.decimalSeparator, ".");
    plain.decimalSeparatorLength = 1;
    char written[rdx::kCurrencyTextSize];
    const size_t length = rdx::FormatCurrency(value, written);
    int64_t again = 0;
    rdxfuzz::Require(
        rdx::ReadCurrencyText(reinterpret_cast<uint8_t *>(written), length, plain, &again) == 0);
    rdxfuzz::Require(again == value);
    return 0;
}
