// SPDX-License-Identifier: Apache-2.0
// Writing a currency amount as text: always '.' and four fraction digits,
// no digit before the point below one unit ("-.0005").
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/currency_internal.h"
#include "values/value_text.h"

#include <charconv>

namespace rdx {

size_t FormatCurrency(int64_t value, char *buffer) {
    // The magnitude as unsigned: also sound for -2^63 from raw bytes.
    const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : value;
    char *out = buffer;
    if (value < 0) *out++ = '-';
    const uint64_t units = magnitude / 10000;
    if (units != 0) out = std::to_chars(out, buffer + kCurrencyTextSize, units).ptr;
    *out++ = '.';
    uint64_t fraction = magnitude % 10000;
    for (int i = 3; i >= 0; --i, fraction /= 10)
        out[i] = static_cast<char>('0' + fraction % 10);
    return static_cast<size_t>(out + 4 - buffer);
}

} // namespace rdx

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDStreamFromCurrency(RDStream *stream, const RDCurrency *currency,
                                                   uint32_t charset) {
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (stream == nullptr) return RDSTATUS_NOSTREAM;
    if (charset == 0) return RDSTATUS_BADCHARSET;
    if (currency == nullptr) return RDSTATUS_NOCURRENCY;
    if (RDPlatGetIntlFormat() == nullptr) return RDSTATUS_NOINTLFORMAT;
    char text[kCurrencyTextSize];
    const size_t length = FormatCurrency(CurrencyValue(*currency), text);
    return StoreValueText(stream, text, length, charset, charset != RDCHARSET_INTERCHANGE);
}
