// SPDX-License-Identifier: Apache-2.0
// Numeric text reader on any bytes, into any precision and scale, with a
// decimal separator (up to six bytes) from the input; a number that reads
// must write and read back the same. Then the arithmetic on two records
// made of raw input bytes that merely pass the validity rule.
#include "fuzz_input.h"
#include "values/numeric_internal.h"

#include <cstring>

namespace {

// Any bytes, with just enough changed to pass the validity rule.
RDNumeric RawNumeric(rdxfuzz::Input &input) {
    RDNumeric n{};
    input.Bytes(reinterpret_cast<uint8_t *>(&n), sizeof n);
    n.precision %= RDNUMERIC_MAX_PRECISION + 1;
    if (n.scale == -128) n.scale = 0;
    n.marker = RDNUMERIC_MARKER;
    return n;
}

bool SameValue(const RDNumeric &a, const RDNumeric &b) {
    if (a.sign != b.sign) return false;
    for (int i = 0; i < a.precision; ++i)
        if (rdx::Digit(a, i) != rdx::Digit(b, i)) return false;
    return true;
}

// A separator the written text can be told apart from: not empty, no digit.
bool Distinct(rdx::IntlText decimal) {
    if (decimal.length == 0) return false;
    for (size_t i = 0; i < decimal.length; ++i)
        if (rdx::IsDigit(decimal.bytes[i])) return false;
    return true;
}

void ReadAndWriteBack(rdxfuzz::Input &input) {
    RDNumeric n{};
    n.precision = input.Byte() % (RDNUMERIC_MAX_PRECISION + 1);
    n.scale = static_cast<int8_t>(input.Byte());
    if (n.scale == -128) n.scale = 127;
    n.marker = RDNUMERIC_MARKER;
    uint8_t separator[RDINTL_TEXT_SIZE] = {};
    const size_t separatorLength = input.Bytes(separator, input.Byte() % (RDINTL_TEXT_SIZE + 1));
    const rdx::IntlText decimal{separator, separatorLength};
    const size_t textLength = input.Byte() | (input.Byte() << 8);
    std::vector<uint8_t> text(textLength);
    text.resize(input.Bytes(text.data(), textLength));
    text.shrink_to_fit();

    const uint32_t status = rdx::ReadNumericText(n, text.data(), text.size(), decimal);
    rdxfuzz::Require(status == 0 || status == 12801 || status == 12806);
    if (status != 0 || !Distinct(decimal)) return;
    char written[rdx::kNumericTextSize];
    bool point = false;
    const size_t length = rdx::FormatNumeric(n, decimal, written, &point);
    RDNumeric again = n;
    std::memset(again.digits, 0x77, sizeof again.digits);
    rdxfuzz::Require(
        rdx::ReadNumericText(again, reinterpret_cast<uint8_t *>(written), length, decimal) == 0);
    rdxfuzz::Require(SameValue(n, again));
}

void Arithmetic(rdxfuzz::Input &input) {
    RDNumeric a = RawNumeric(input), b = RawNumeric(input), r = RawNumeric(input);
    const uint32_t status = RDNumericAdd(&r, &a, &b);
    rdxfuzz::Require(status == 0 || status == 12801);
    int32_t order = 9;
    rdxfuzz::Require(RDNumericCompare(&a, &b, &order) == 0 && order >= -1 && order <= 1);
    rdxfuzz::Require(RDNumericSubtract(&r, &a, &a) == 0);
    for (int i = 0; i < r.precision; ++i)
        rdxfuzz::Require(rdx::Digit(r, i) == 0);
    double value = 0;
    rdxfuzz::Require(RDFloatFromNumeric(&value, &b) == 0);
    char written[rdx::kNumericTextSize];
    bool point = false;
    static constexpr uint8_t kPoint[] = {'.', ','};
    rdxfuzz::Require(rdx::FormatNumeric(a, {kPoint, 2}, written, &point) <= sizeof written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    rdxfuzz::Input input(data, size);
    ReadAndWriteBack(input);
    Arithmetic(input);
    return 0;
}
