// SPDX-License-Identifier: Apache-2.0
// rdplatinfo: starts the platform the way an activity program does and shows
// what it found: the home directory, the international formats, the clock
// and the character environment.
#include "rdplat.h"

#include <cstdio>

namespace {

void PrintIntlFormat(const RDIntlFormat &f) {
    std::printf("International formats:\n");
    std::printf("  flags             %u\n", f.intlFlags);
    std::printf("  date order        %u (1 month/day/year, 2 day/month/year, 3 year/month/day)\n",
                f.dateOrder);
    std::printf("  currency digits   %u\n", f.currencyDigits);
    std::printf("  time zone         %d\n", f.timeZone);
    std::printf("  am / pm           \"%s\" / \"%s\"\n", f.amText, f.pmText);
    std::printf("  currency symbol   \"%s\"\n", f.currencySymbol);
    std::printf("  thousands/decimal \"%s\" / \"%s\"\n", f.thousandSeparator, f.decimalSeparator);
    std::printf("  date / time sep.  \"%s\" / \"%s\"\n", f.dateSeparator, f.timeSeparator);
}

} // namespace

// Usage: rdplatinfo [program-path]
int main(int argc, char **argv) {
    // Without an argument the platform starts as an activity program does:
    // quarry.ini in the current directory, else on PATH.
    const char *program = argc > 1 ? argv[1] : nullptr;
    uint32_t status = RDPlatInit(program);
    if (status != RDSTATUS_OK) {
        std::fprintf(stderr,
                     "rdplatinfo: the platform did not start (status %u): no quarry.ini "
                     "beside %s or on PATH, or its [Configuration] Directory is missing\n",
                     status, program != nullptr ? program : "the current directory");
        return 1;
    }
    std::printf("Home directory: %s\n", RDFileExeDir());
    PrintIntlFormat(*RDPlatGetIntlFormat());

    RDDatetimeParts now{};
    RDPlatGetDatetime(&now);
    std::printf("Local time: %04d-%02d-%02d %02d:%02d:%02d.%02d\n", now.year, now.month, now.day,
                now.hour, now.minute, now.second, now.hundredth);
    uint32_t codePage = 0;
    int32_t country = 0;
    char language[8] = "";
    RDCharInfo(&codePage, &country, language);
    std::printf("Character environment: code page %u, country %d, language \"%s\"\n", codePage,
                country, language);
    RDPlatTerm();
    return 0;
}
