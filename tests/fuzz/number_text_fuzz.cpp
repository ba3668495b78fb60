// SPDX-License-Identifier: Apache-2.0
// Integer and float text readers on any bytes, checked against the C
// library's strtoll and strtod (C locale) with the saturation rule of the
// readers; a value that reads must write and read back.
#include "fuzz_input.h"
#include "values/text_internal.h"

#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The bytes after white space and one sign.
std::string_view Unsigned(std::string_view text) {
    while (!text.empty() && rdx::text::IsSpace(text.front()))
        text.remove_prefix(1);
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    return text;
}

// text is the input in a buffer of exactly its size; terminated is a copy
// with a NUL for the C library.
void Integer(std::string_view text, const std::string &terminated) {
    int32_t value = 7;
    const uint32_t status = rdx::text::ReadIntText(text, &value);
    const std::string_view digits = Unsigned(text);
    if (digits.empty() || !rdx::text::IsDigit(digits.front())) {
        rdxfuzz::Require(status == 12803 && value == 0);
        return;
    }
    errno = 0;
    const long long wide = std::strtoll(terminated.c_str(), nullptr, 10);
    const bool fits = errno == 0 && wide >= INT32_MIN && wide <= INT32_MAX;
    rdxfuzz::Require(status == (fits ? 0u : 12801u));
    rdxfuzz::Require(value == (fits ? wide : wide < 0 ? INT32_MIN : INT32_MAX));
    char written[16];
    const char *end = std::to_chars(written, written + sizeof written, value).ptr;
    int32_t back = 0;
    rdxfuzz::Require(rdx::text::ReadIntText({written, size_t(end - written)}, &back) == 0 &&
                     back == value);
}

void Float(std::string_view text, const std::string &terminated) {
    double value = 7;
    const uint32_t status = rdx::text::ReadFloatText(text, &value);
    const std::string_view number = Unsigned(text);
    const bool starts = !number.empty() &&
                        (rdx::text::IsDigit(number[0]) ||
                         (number.size() > 1 && number[0] == '.' && rdx::text::IsDigit(number[1])));
    if (!starts) {
        rdxfuzz::Require(status == 12804 && value == 0);
        return;
    }
    rdxfuzz::Require(status == 0 || status == 12801);
    rdxfuzz::Require(std::isfinite(value));
    // strtod also reads hexadecimal, which the reader does not.
    const bool hex = number.size() > 1 && number[0] == '0' && (number[1] | 0x20) == 'x';
    if (!hex) {
        const double expected = std::strtod(terminated.c_str(), nullptr);
        rdxfuzz::Require(std::isinf(expected)
                             ? status == 12801 && value == std::copysign(DBL_MAX, expected)
                             : status == 0 && value == expected);
    }
    if (std::abs(value) > 1.797693134862315e308) return; // its 15-digit text is past the range
    double back = 0;
    rdxfuzz::Require(rdx::text::ReadFloatText(rdx::text::FormatFloat(value), &back) == 0);
    rdxfuzz::Require(std::abs(back - value) <= std::abs(value) * 1e-14);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    rdxfuzz::Input input(data, size);
    const std::vector<uint8_t> rest = input.Rest();
    const std::string_view text(reinterpret_cast<const char *>(rest.data()), rest.size());
    const std::string terminated(text);
    Integer(text, terminated);
    Float(text, terminated);
    return 0;
}
