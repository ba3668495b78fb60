// SPDX-License-Identifier: Apache-2.0
// Currency and numeric values into each other, exactly: the amount's
// digits are read as a number's and the other way round, with '.' between
// whole and fraction, whatever the international settings say. Digits the
// target cannot hold are dropped as the text readers drop them.
#include "fields/field_value.h"

#include "rdx_status.h"
#include "values/currency_internal.h"
#include "values/numeric_internal.h"

namespace rdx {
namespace {

constexpr uint8_t kPoint[] = {'.'};
constexpr IntlText kPointText{kPoint, 1};

// Settings that read a plain "-1234.5678": no symbol, no thousands.
RDIntlFormat PlainAmounts() {
    RDIntlFormat intl{};
    intl.decimalSeparator[0] = '.';
    intl.decimalSeparatorLength = 1;
    return intl;
}

} // namespace

uint32_t NumericFromCurrency(RDNumeric *numeric, const RDCurrency *currency) {
    if (!ValidNumeric(numeric)) return RDSTATUS_NONUMERIC;
    char text[kCurrencyTextSize];
    const size_t length = FormatCurrency(CurrencyValue(*currency), text);
    return ReadNumericText(*numeric, reinterpret_cast<const uint8_t *>(text), length, kPointText);
}

uint32_t CurrencyFromNumeric(RDCurrency *currency, const RDNumeric *numeric) {
    RDNumeric source = *numeric; // the validity test may normalise a cleared record
    if (!ValidNumeric(&source)) return RDSTATUS_NONUMERIC;
    char text[kNumericTextSize];
    bool point = false;
    const size_t length = FormatNumeric(source, kPointText, text, &point);
    static const RDIntlFormat kPlain = PlainAmounts();
    int64_t value = 0;
    const uint32_t status =
        ReadCurrencyText(reinterpret_cast<const uint8_t *>(text), length, kPlain, &value);
    if (status == RDSTATUS_OK || status == RDSTATUS_NOFIT) SetCurrencyValue(*currency, value);
    return status;
}

} // namespace rdx
