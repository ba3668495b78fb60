// SPDX-License-Identifier: Apache-2.0
// Writing a numeric as its shortest text: no leading zeros, no trailing
// fraction zeros, the international decimal separator.
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/numeric_internal.h"

#include <cstring>

namespace rdx {

size_t FormatNumeric(const RDNumeric &n, IntlText decimal, char *buffer, bool *pointWritten) {
    char *out = buffer;
    bool point = false, written = false;
    const char *fraction = nullptr; // just after the separator
    auto writePoint = [&] {
        std::memcpy(out, decimal.bytes, decimal.length);
        out += decimal.length;
        fraction = out;
        point = true;
    };
    if (IsNegative(n)) *out++ = '-';
    if (n.precision < n.scale) { // 0.000ddd
        *out++ = '0';
        writePoint();
        std::memset(out, '0', static_cast<size_t>(n.scale - n.precision));
        out += n.scale - n.precision;
        written = true;
    }
    for (int i = 0; i < n.precision; ++i) {
        if (!point && n.precision - i == n.scale) {
            if (!written) *out++ = '0';
            written = true;
            writePoint();
        }
        const int digit = Digit(n, i);
        if (point || written || digit != 0) {
            *out++ = static_cast<char>('0' + digit);
            written = true;
        }
    }
    if (n.scale < 0) { // implied trailing zeros
        std::memset(out, '0', static_cast<size_t>(-n.scale));
        out += -n.scale;
        written = true;
    }
    if (!written) *out++ = '0';
    if (point) { // trailing fraction zeros, then a bare separator, go
        while (out > fraction && out[-1] == '0')
            --out;
        if (out == fraction) out -= decimal.length;
    }
    *pointWritten = point;
    return static_cast<size_t>(out - buffer);
}

} // namespace rdx

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDStreamFromNumeric(RDStream *stream, RDNumeric *numeric,
                                                  uint32_t charset) {
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (stream == nullptr) return RDSTATUS_NOSTREAM;
    if (charset == 0) return RDSTATUS_BADCHARSET;
    if (!ValidNumeric(numeric)) return RDSTATUS_NONUMERIC;
    const RDIntlFormat *intl = RDPlatGetIntlFormat();
    if (intl == nullptr) return RDSTATUS_NOINTLFORMAT;
    const IntlText decimal = MakeIntlText(intl->decimalSeparator, intl->decimalSeparatorLength);
    char text[kNumericTextSize];
    bool point = false;
    const size_t length = FormatNumeric(*numeric, decimal, text, &point);
    // Text that is not plain 7-bit goes through the translation.
    const bool plainPoint = decimal.length == 1 && decimal.bytes[0] < 0x7F;
    const bool convert =
        charset == RDCHARSET_UNICODE || (charset != RDCHARSET_INTERCHANGE && point && !plainPoint);
    return StoreValueText(stream, text, length, charset, convert);
}
