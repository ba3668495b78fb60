// SPDX-License-Identifier: Apache-2.0
// The process-wide international-format record. It is created by the first
// RDPlatSetIntlFormat, overwritten in place by later ones (so pointers taken
// from RDPlatGetIntlFormat stay valid) and freed by RDPlatTerm.
#include "intl_format.h"

#include "rdplat_mem.h"

#include <bit>
#include <cstddef>
#include <cstring>

namespace rdplat {

// The record travels whole as a little-endian byte image.
static_assert(std::endian::native == std::endian::little);

namespace {

RDIntlFormat *intlFormat = nullptr;

// Offsets of each text of the record and of its length field.
struct TextField {
    size_t text, length;
};
constexpr TextField kTextFields[] = {
    {offsetof(RDIntlFormat, amText), offsetof(RDIntlFormat, amTextLength)},
    {offsetof(RDIntlFormat, pmText), offsetof(RDIntlFormat, pmTextLength)},
    {offsetof(RDIntlFormat, currencySymbol), offsetof(RDIntlFormat, currencySymbolLength)},
    {offsetof(RDIntlFormat, thousandSeparator), offsetof(RDIntlFormat, thousandSeparatorLength)},
    {offsetof(RDIntlFormat, decimalSeparator), offsetof(RDIntlFormat, decimalSeparatorLength)},
    {offsetof(RDIntlFormat, dateSeparator), offsetof(RDIntlFormat, dateSeparatorLength)},
    {offsetof(RDIntlFormat, timeSeparator), offsetof(RDIntlFormat, timeSeparatorLength)},
};

// Terminates every text inside its 6 bytes (a sender's record may lack the
// NUL) and makes each length field match its text.
void RecomputeLengths(RDIntlFormat &f) {
    auto *bytes = reinterpret_cast<char *>(&f);
    for (const TextField &t : kTextFields) {
        char *text = bytes + t.text;
        auto length = static_cast<uint32_t>(strnlen(text, RDINTL_TEXT_SIZE - 1));
        text[length] = '\0';
        std::memcpy(bytes + t.length, &length, sizeof length);
    }
}

void SetDefaults(RDIntlFormat &f) {
    std::memset(&f, 0, sizeof f);
    f.intlFlags = RDINTL_DST;
    f.dateOrder = RDINTL_MDY;
    f.currencyDigits = 2;
    f.timeZone = -5;
    std::memcpy(f.amText, "AM", 3);
    std::memcpy(f.pmText, "PM", 3);
    std::memcpy(f.currencySymbol, "$", 2);
    std::memcpy(f.thousandSeparator, ",", 2);
    std::memcpy(f.decimalSeparator, ".", 2);
    std::memcpy(f.dateSeparator, "/", 2);
    std::memcpy(f.timeSeparator, ":", 2);
}

} // namespace

void FreeIntlFormat() {
    RDMemFree(intlFormat);
    intlFormat = nullptr;
}

} // namespace rdplat

extern "C" {

RD_EXPORT uint32_t RDPlatSetIntlFormat(const RDIntlFormat *source) {
    using rdplat::intlFormat;
    if (intlFormat == nullptr) {
        intlFormat = static_cast<RDIntlFormat *>(RDMemAlloc(sizeof(RDIntlFormat)));
        if (intlFormat == nullptr) return RDSTATUS_NOMEMORY;
    }
    if (source != nullptr)
        std::memmove(intlFormat, source, sizeof(RDIntlFormat));
    else
        rdplat::SetDefaults(*intlFormat);
    rdplat::RecomputeLengths(*intlFormat);
    return RDSTATUS_OK;
}

RD_EXPORT RDIntlFormat *RDPlatGetIntlFormat(void) {
    return rdplat::intlFormat;
}

RD_EXPORT uint32_t RDPlatGetTimeZone(int32_t *zone, int32_t *dst) {
    const RDIntlFormat *f = rdplat::intlFormat;
    if (zone != nullptr) *zone = f != nullptr ? f->timeZone : 0;
    if (dst != nullptr) *dst = f != nullptr && (f->intlFlags & RDINTL_DST) != 0 ? 1 : 0;
    return f != nullptr ? RDSTATUS_OK : RDSTATUS_NOTIMEZONE;
}

} // extern "C"
