// SPDX-License-Identifier: Apache-2.0
// Conversions between numerics and 64-bit floats.
#include "rdx_status.h"
#include "values/numeric_internal.h"

#include <charconv>
#include <cmath>

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDFloatFromNumeric(double *value, RDNumeric *numeric) {
    if (value != nullptr) *value = 0.0;
    if (value == nullptr || numeric == nullptr) return RDSTATUS_NOFLOAT;
    if (!ValidNumeric(numeric)) return RDSTATUS_NONUMERIC;
    double factor = std::pow(10.0, TopExponent(*numeric));
    double sum = 0.0;
    for (int i = 0; i < numeric->precision; ++i) {
        sum += Digit(*numeric, i) * factor;
        factor /= 10.0;
    }
    *value = IsNegative(*numeric) ? -sum : sum;
    return RDSTATUS_OK;
}

// The float goes through its general text form with 15 significant digits
// ("0.1", "1234.5", "1.5e+20"). That text always has '.' as its point, so
// it is read with '.' whatever the international decimal separator is.
extern "C" RD_EXPORT uint32_t RDNumericFromFloat(RDNumeric *numeric, const double *value) {
    if (value == nullptr || !ValidNumeric(numeric)) return RDSTATUS_NONUMERIC;
    if (RDPlatGetIntlFormat() == nullptr) return RDSTATUS_NOINTLFORMAT;
    char text[32];
    const auto written =
        std::to_chars(text, text + sizeof text, *value, std::chars_format::general, 15);
    static constexpr uint8_t kPoint[] = {'.'};
    return ReadNumericText(*numeric, reinterpret_cast<const uint8_t *>(text),
                           static_cast<size_t>(written.ptr - text), IntlText{kPoint, 1});
}
