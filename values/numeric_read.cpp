// SPDX-License-Identifier: Apache-2.0
// Reading a numeric from text: " -12.5", "1.5E2", ".05", with the decimal
// separator of the international settings. The text is trusted for
// nothing: every step is bounded by its length, and exponents saturate.
#include "rdx_status.h"
#include "values/numeric_internal.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace rdx {
namespace {

// Far beyond any place a digit can take, and far beyond any text length,
// so a saturated exponent decides exactly as the true one would.
constexpr int64_t kExponentLimit = 1'000'000'000'000;

// The leading integer of [at, end) as the standard atoi reads it (white
// space, a sign, digits), saturated at +-kExponentLimit instead of wrapping.
int64_t ReadExponent(const uint8_t *at, const uint8_t *end) {
    while (at < end && std::isspace(*at))
        ++at;
    bool negative = false;
    if (at < end && (*at == '+' || *at == '-')) negative = *at++ == '-';
    int64_t value = 0;
    for (; at < end && IsDigit(*at); ++at)
        value = std::min(value * 10 + (*at - '0'), kExponentLimit);
    return negative ? -value : value;
}

bool NumberStarts(const uint8_t *at, const uint8_t *end, IntlText decimal) {
    if (at < end && IsDigit(*at)) return true;
    if (!StartsWith(at, end, decimal)) return false;
    at += decimal.length;
    return at < end && IsDigit(*at);
}

} // namespace

uint32_t ReadNumericText(RDNumeric &n, const uint8_t *text, size_t length, IntlText decimal) {
    const uint8_t *at = text;
    const uint8_t *const end = text + length;
    n.sign = 0;
    while (at < end && std::isspace(*at))
        ++at;
    if (at < end && (*at == '+' || *at == '-')) {
        if (*at == '-') n.sign = 1;
        ++at;
    }
    if (!NumberStarts(at, end, decimal)) return RDSTATUS_NONUMERIC;
    while (at < end && *at == '0')
        ++at;

    // Digits and separators; the last separator marks the point.
    const uint8_t *const first = at;
    const uint8_t *point = nullptr;
    bool significant = false;  // a non-zero digit was seen
    int64_t fractionZeros = 0; // zeros before it (all after the point)
    while (at < end) {
        if (IsDigit(*at)) {
            significant = significant || *at != '0';
            if (!significant) ++fractionZeros;
            ++at;
        } else if (StartsWith(at, end, decimal)) {
            point = at;
            at += decimal.length;
        } else {
            break;
        }
    }
    const uint8_t *const last = at;
    if (point == nullptr) point = last;
    const int64_t exponent =
        (at < end && (*at == 'E' || *at == 'e')) ? ReadExponent(at + 1, end) : 0;
    const int64_t integerDigits = (point - first) + exponent;

    // Zeros after the point do not make a number larger: "0.0012" fits a
    // precision 2, scale 4, and zero fits everything.
    const int64_t room = static_cast<int64_t>(n.precision) - n.scale;
    if (significant && room < integerDigits - fractionZeros) {
        FillNines(n);
        return RDSTATUS_NOFIT;
    }
    std::memset(n.digits, 0, sizeof n.digits);
    if (!significant || -n.scale > integerDigits) return RDSTATUS_OK; // 0, or below the last place
    // Digits before index 0 are the zeros after the point; the first
    // non-zero digit falls at index room - (integerDigits - fractionZeros).
    int64_t index = room - integerDigits;
    for (at = first; at < last && index < n.precision;) {
        if (!IsDigit(*at)) {
            at += decimal.length; // the scan let only separators through
        } else if (index < 0) {
            ++index, ++at;
        } else {
            PutDigit(n, static_cast<int>(index++), *at++ - '0');
        }
    }
    return RDSTATUS_OK;
}

} // namespace rdx

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDNumericFromStream(RDNumeric *numeric, const RDStream *stream) {
    if (stream == nullptr || !ValidNumeric(numeric)) return RDSTATUS_NONUMERIC;
    TempStream text;
    uint8_t *data = nullptr;
    uint32_t length = 0;
    const uint32_t status =
        RDStreamDataConvert(&text.s, stream, RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT,
                            RDCHARSET_DEFAULT, &data, &length);
    if (status != RDSTATUS_OK) return status;
    const RDIntlFormat *intl = RDPlatGetIntlFormat();
    if (intl == nullptr) return RDSTATUS_NOINTLFORMAT;
    return ReadNumericText(*numeric, data, length,
                           MakeIntlText(intl->decimalSeparator, intl->decimalSeparatorLength));
}
