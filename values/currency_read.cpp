// SPDX-License-Identifier: Apache-2.0
// Reading a currency amount from text written with the international
// settings: "$1,234.5", "(12.34)", "-.5".
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/currency_internal.h"
#include "values/value_text.h"

#include <cctype>
#include <cstring>

namespace rdx {
namespace {

constexpr size_t kIntegerAllowance = 59;
constexpr size_t kFractionDigits = 4;
constexpr char kLargest[] = "9223372036854775807";
constexpr size_t kLargestDigits = sizeof(kLargest) - 1;

uint32_t Saturate(bool negative, int64_t *value) {
    *value = negative ? kCurrencyMin : kCurrencyMax;
    return RDSTATUS_NOFIT;
}

// The amount must start with a digit, or the decimal separator and a digit.
bool AmountStarts(const uint8_t *at, const uint8_t *end, IntlText decimal) {
    if (at < end && IsDigit(*at)) return true;
    if (!StartsWith(at, end, decimal)) return false;
    at += decimal.length;
    return at < end && IsDigit(*at);
}

} // namespace

uint32_t ReadCurrencyText(const uint8_t *text, size_t length, const RDIntlFormat &intl,
                          int64_t *value) {
    const uint8_t *at = text;
    const uint8_t *const end = text + length;
    while (at < end && std::isspace(*at))
        ++at;
    if (at == end) {
        *value = 0;
        return RDSTATUS_OK;
    }
    const IntlText symbol = MakeIntlText(intl.currencySymbol, intl.currencySymbolLength);
    const IntlText thousands = MakeIntlText(intl.thousandSeparator, intl.thousandSeparatorLength);
    const IntlText decimal = MakeIntlText(intl.decimalSeparator, intl.decimalSeparatorLength);
    bool negative = false;
    if (*at == '(') {
        negative = true;
        ++at;
    }
    if (StartsWith(at, end, symbol)) at += symbol.length;
    if (at < end && *at == '-') {
        negative = !negative;
        ++at;
    } else if (at < end && *at == '+') {
        ++at;
    }
    if (!AmountStarts(at, end, decimal)) return RDSTATUS_NOCURRENCY;

    // At most 59 integer and 4 fraction digits; thousand separators are
    // skipped wherever they stand; further fraction digits are dropped.
    char digits[kIntegerAllowance + kFractionDigits];
    size_t count = 0, allowance = kIntegerAllowance;
    bool fraction = false;
    while (at < end && allowance > 0) {
        if (IsDigit(*at)) {
            digits[count++] = static_cast<char>(*at++);
            --allowance;
        } else if (StartsWith(at, end, thousands)) {
            at += thousands.length;
        } else if (!fraction && StartsWith(at, end, decimal)) {
            if (allowance < kFractionDigits) return Saturate(negative, value);
            fraction = true;
            allowance = kFractionDigits;
            at += decimal.length;
        } else {
            break;
        }
    }
    if (!fraction && allowance == 0) return Saturate(negative, value);
    const size_t taken = fraction ? kFractionDigits - allowance : 0;
    for (size_t i = taken; i < kFractionDigits; ++i)
        digits[count++] = '0';

    // Leading zeros count: the digit string itself must fit.
    if (count > kLargestDigits ||
        (count == kLargestDigits && std::memcmp(digits, kLargest, count) > 0))
        return Saturate(negative, value);
    int64_t amount = 0;
    for (size_t i = 0; i < count; ++i)
        amount = amount * 10 + (digits[i] - '0');
    *value = negative ? -amount : amount;
    return RDSTATUS_OK;
}

} // namespace rdx

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDCurrencyFromStream(RDCurrency *currency, const RDStream *stream) {
    if (currency == nullptr || stream == nullptr) return RDSTATUS_NOCURRENCY;
    const RDIntlFormat *intl = RDPlatGetIntlFormat();
    if (intl == nullptr) return RDSTATUS_NOINTLFORMAT;
    int64_t value = 0;
    uint32_t status = RDSTATUS_OK;
    if (stream->charset == RDCHARSET_INTERCHANGE && TranslationReady()) {
        // Already interchange text: the conversion would only borrow it.
        const uint32_t length = stream->data != nullptr ? stream->length : 0;
        status = ReadCurrencyText(stream->data, length, *intl, &value);
        if (status != RDSTATUS_NOCURRENCY) SetCurrencyValue(*currency, value);
        return status;
    }
    TempStream text;
    uint8_t *data = nullptr;
    uint32_t length = 0;
    status = RDStreamDataConvert(&text.s, stream, RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT,
                                 RDCHARSET_INTERCHANGE, &data, &length);
    if (status != RDSTATUS_OK) return status;
    status = ReadCurrencyText(data, length, *intl, &value);
    if (status != RDSTATUS_NOCURRENCY) SetCurrencyValue(*currency, value);
    return status;
}
