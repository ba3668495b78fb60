// SPDX-License-Identifier: Apache-2.0
// RDCmpVerStr: compares the leading numbers of two version texts. Each number
// is read as scanf's "%2d" reads it: leading white space is skipped, a sign
// is accepted and counts towards the width of two characters, so "123" reads
// as 12 and "-12" as -1. A text that does not start with a number (or no
// text at all) counts as 0.
#include "rdplat_intl.h"

#include <cstdio>

namespace {

int LeadingNumber(const char *text) {
    int number = 0;
    if (text == nullptr || std::sscanf(text, "%2d", &number) != 1) return 0;
    return number;
}

} // namespace

extern "C" RD_EXPORT int RDCmpVerStr(const char *a, const char *b) {
    return LeadingNumber(a) - LeadingNumber(b);
}
