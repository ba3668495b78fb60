// SPDX-License-Identifier: Apache-2.0
// Numeric records: validity, clearing, copying, creation and their format.
#include "values/numeric_internal.h"

#include <cstring>

namespace rdx {

void TurnClearedIntoZero(RDNumeric &numeric) {
    numeric = RDNumeric{};
    numeric.precision = RDNUMERIC_MAX_PRECISION;
    numeric.scale = RDNUMERIC_MAX_PRECISION / 2;
    numeric.marker = RDNUMERIC_MARKER;
}

void FillNines(RDNumeric &numeric) {
    std::memset(numeric.digits, 0x99, (numeric.precision + 1u) / 2);
}

} // namespace rdx

using namespace rdx;

extern "C" RD_EXPORT void RDNumericClear(RDNumeric *numeric) {
    if (numeric != nullptr) *numeric = RDNumeric{};
}

extern "C" RD_EXPORT void RDNumericCopy(RDNumeric *destination, const RDNumeric *source) {
    if (destination == nullptr) return;
    if (source == nullptr)
        *destination = RDNumeric{};
    else if (source != destination)
        std::memcpy(destination, source, sizeof(RDNumeric));
}

extern "C" RD_EXPORT uint32_t RDNumericCreate(RDNumeric *numeric, uint32_t precision,
                                              int32_t scale) {
    if (numeric == nullptr) return RDSTATUS_NONUMERIC;
    if (scale == RDNUMERIC_DEFAULT_SCALE) scale = 0;
    if (precision > RDNUMERIC_MAX_PRECISION || scale < -127 || scale > 127 ||
        static_cast<int64_t>(scale) - static_cast<int64_t>(precision) < -127)
        return RDSTATUS_NONUMERIC;
    *numeric = RDNumeric{};
    numeric->precision = static_cast<uint8_t>(precision);
    numeric->scale = static_cast<int8_t>(scale);
    numeric->marker = RDNUMERIC_MARKER;
    return 0;
}

extern "C" RD_EXPORT uint32_t RDNumericGetPrecision(RDNumeric *numeric) {
    return ValidNumeric(numeric) ? numeric->precision : 0;
}

extern "C" RD_EXPORT int32_t RDNumericGetScale(RDNumeric *numeric) {
    return ValidNumeric(numeric) ? numeric->scale : 0;
}
