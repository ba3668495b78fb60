// SPDX-License-Identifier: Apache-2.0
// Float texts: RDStreamFromFloat and RDFloatFromStream. The text has 15
// significant digits, fixed notation for decimal exponents -1 to 14 and
// otherwise a mantissa with an exponent of at least three digits
// (1.5e+020), the form stored data and peers expect.
#include "rdx_status.h"
#include "rdx_text.h"
#include "translate/translation.h"
#include "values/text_internal.h"

#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <new>

namespace rdx::text {
namespace {

constexpr int kDigits = 15;

// Removes trailing zeros of a fraction, and then a trailing '.'.
void TrimFraction(std::string &text) {
    if (text.find('.') == std::string::npos) return;
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.') text.pop_back();
}

// strtod of the C locale, whatever locale the program runs in.
double CStrtod(const char *text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    return cLocale != nullptr ? strtod_l(text, nullptr, cLocale) : std::strtod(text, nullptr);
}

} // namespace

std::string FormatFloat(double value) {
    if (!std::isfinite(value)) return std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
    char scientific[40];
    std::snprintf(scientific, sizeof scientific, "%.*e", kDigits - 1, value);
    char *mark = std::strchr(scientific, 'e');
    const int exponent = std::atoi(mark + 1); // of the value rounded to 15 digits
    if (exponent >= -1 && exponent < kDigits) {
        char fixed[40];
        std::snprintf(fixed, sizeof fixed, "%.*f", kDigits - 1 - exponent, value);
        std::string text(fixed);
        TrimFraction(text);
        return text;
    }
    std::string text(scientific, mark);
    TrimFraction(text);
    char tail[16];
    std::snprintf(tail, sizeof tail, "e%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return text + tail;
}

size_t ParseFloat(std::string_view text, double *value, bool *outOfRange) {
    *value = 0.0;
    *outOfRange = false;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), *value, std::chars_format::general);
    const auto used = static_cast<size_t>(end - text.data());
    if (error == std::errc::invalid_argument) return 0;
    if (error == std::errc::result_out_of_range) {
        // The C library's value: infinity on overflow, zero or a
        // subnormal on underflow.
        *outOfRange = true;
        *value = CStrtod(std::string(text.substr(0, used)).c_str());
    }
    return used;
}

uint32_t ReadFloatText(std::string_view text, double *value) {
    *value = 0.0;
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    const bool number = !text.empty() && (IsDigit(text[0]) ||
                                          (text[0] == '.' && text.size() > 1 && IsDigit(text[1])));
    if (!number) return RDSTATUS_NOFLOAT;
    double magnitude = 0.0;
    bool outOfRange = false;
    ParseFloat(text, &magnitude, &outOfRange);
    // An overflow keeps the largest finite value; an underflow keeps the
    // C library's zero or subnormal.
    const bool overflow = outOfRange && std::isinf(magnitude);
    if (overflow) magnitude = DBL_MAX;
    *value = negative ? -magnitude : magnitude;
    return overflow ? RDSTATUS_NOFIT : RDSTATUS_OK;
}

} // namespace rdx::text

using namespace rdx::text;

extern "C" {

RD_EXPORT uint32_t RDStreamFromFloat(RDStream *stream, const double *value, uint32_t charset) {
    if (uint32_t status = CheckWriter(stream, charset); status != RDSTATUS_OK) return status;
    if (value == nullptr) return RDSTATUS_NOFLOAT;
    try {
        return StoreText(stream, FormatFloat(*value), RDCHARSET_DEFAULT, charset);
    } catch (const std::bad_alloc &) {
        return RDSTATUS_NOMEMORY;
    }
}

RD_EXPORT uint32_t RDFloatFromStream(double *value, const RDStream *stream) {
    if (value != nullptr) *value = 0.0;
    if (!rdx::TranslationReady()) return RDSTATUS_NOTREADY;
    if (value == nullptr || stream == nullptr) return RDSTATUS_NOFLOAT;
    try {
        StreamBytes bytes(*stream, RDCHARSET_DEFAULT, Syntax::Ascii);
        if (bytes.Status() != RDSTATUS_OK) return bytes.Status();
        return ReadFloatText(bytes.View(), value);
    } catch (const std::bad_alloc &) {
        return RDSTATUS_NOMEMORY;
    }
}

} // extern "C"
