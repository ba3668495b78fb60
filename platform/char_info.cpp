// SPDX-License-Identifier: Apache-2.0
// RDCharInfo: the character environment of the process, taken from the
// locale name in LC_ALL, LC_CTYPE or LANG (the first that is set and not
// empty). The name is only parsed: setlocale is never called, so the
// process's own locale is left alone. A name has the form
// language[_TERRITORY][.codeset][@modifier]; "C" and "POSIX" (and no name at
// all) are the 7-bit ASCII locale.
#include "rdplat_intl.h"

#include <cstdlib>
#include <new>
#include <string>
#include <string_view>

namespace {

constexpr uint32_t kCodePageAscii = 20127;
constexpr uint32_t kCodePageLatin1 = 28591;
constexpr uint32_t kCodePageLatin9 = 28605;
constexpr size_t kLanguageSize = 8; // the caller's buffer

struct CodesetEntry {
    std::string_view name; // lower case, without '-' and '_'
    uint32_t codePage;
};

constexpr CodesetEntry kCodesets[] = {
    {"utf8", 65001},     {"iso88591", 28591},   {"iso88592", 28592},   {"iso88593", 28593},
    {"iso88594", 28594}, {"iso88595", 28595},   {"iso88596", 28596},   {"iso88597", 28597},
    {"iso88598", 28598}, {"iso88599", 28599},   {"iso885913", 28603},  {"iso885915", 28605},
    {"cp1250", 1250},    {"cp1251", 1251},      {"cp1252", 1252},      {"cp1253", 1253},
    {"cp1254", 1254},    {"cp1255", 1255},      {"cp1256", 1256},      {"cp1257", 1257},
    {"cp1258", 1258},    {"windows1250", 1250}, {"windows1251", 1251}, {"windows1252", 1252},
    {"koi8r", 20866},    {"koi8u", 21866},      {"eucjp", 20932},      {"sjis", 932},
    {"shiftjis", 932},   {"gb2312", 936},       {"gbk", 936},          {"gb18030", 54936},
    {"big5", 950},       {"euckr", 51949},      {"tis620", 874},       {"ansix3.41968", 20127},
    {"ascii", 20127},    {"usascii", 20127},
};

struct TerritoryEntry {
    std::string_view territory; // ISO 3166 alpha-2
    int32_t dialling;
};

// International dialling codes of the common territories.
constexpr TerritoryEntry kTerritories[] = {
    {"AE", 971}, {"AR", 54},  {"AT", 43},  {"AU", 61},  {"BE", 32},  {"BG", 359}, {"BR", 55},
    {"CA", 1},   {"CH", 41},  {"CL", 56},  {"CN", 86},  {"CO", 57},  {"CY", 357}, {"CZ", 420},
    {"DE", 49},  {"DK", 45},  {"EE", 372}, {"EG", 20},  {"ES", 34},  {"FI", 358}, {"FR", 33},
    {"GB", 44},  {"GR", 30},  {"HK", 852}, {"HR", 385}, {"HU", 36},  {"ID", 62},  {"IE", 353},
    {"IL", 972}, {"IN", 91},  {"IS", 354}, {"IT", 39},  {"JP", 81},  {"KR", 82},  {"LT", 370},
    {"LU", 352}, {"LV", 371}, {"MA", 212}, {"MT", 356}, {"MX", 52},  {"MY", 60},  {"NG", 234},
    {"NL", 31},  {"NO", 47},  {"NZ", 64},  {"PE", 51},  {"PH", 63},  {"PK", 92},  {"PL", 48},
    {"PT", 351}, {"RO", 40},  {"RS", 381}, {"RU", 7},   {"SA", 966}, {"SE", 46},  {"SG", 65},
    {"SI", 386}, {"SK", 421}, {"TH", 66},  {"TR", 90},  {"TW", 886}, {"UA", 380}, {"US", 1},
    {"VE", 58},  {"VN", 84},  {"ZA", 27},
};

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The parts of a locale name; each is empty when the name lacks it.
struct LocaleName {
    std::string_view language, territory, codeset, modifier;
    bool portable = false; // "C" or "POSIX": no language, no territory
};

LocaleName ParseLocaleName(std::string_view name) {
    LocaleName parts;
    size_t at = name.find('@');
    if (at != std::string_view::npos) {
        parts.modifier = name.substr(at + 1);
        name = name.substr(0, at);
    }
    size_t dot = name.find('.');
    if (dot != std::string_view::npos) {
        parts.codeset = name.substr(dot + 1);
        name = name.substr(0, dot);
    }
    size_t underscore = name.find('_');
    if (underscore != std::string_view::npos) {
        parts.territory = name.substr(underscore + 1);
        name = name.substr(0, underscore);
    }
    parts.language = name;
    parts.portable = name.empty() || name == "C" || name == "POSIX";
    return parts;
}

const char *LocaleFromEnvironment() {
    for (const char *variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char *value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return value;
    }
    return "";
}

uint32_t CodePageOf(const LocaleName &locale) {
    if (locale.codeset.empty()) {
        if (locale.portable) return kCodePageAscii;
        // A name without a codeset has glibc's legacy default: Latin-1, or
        // Latin-9 for the "@euro" variants.
        return locale.modifier == "euro" ? kCodePageLatin9 : kCodePageLatin1;
    }
    std::string key;
    for (char c : locale.codeset)
        if (c != '-' && c != '_') key += AsciiLower(c);
    for (const CodesetEntry &entry : kCodesets)
        if (entry.name == key) return entry.codePage;
    // An unknown codeset: 7-bit ASCII is the part every 8-bit set shares.
    return kCodePageAscii;
}

int32_t CountryOf(const LocaleName &locale) {
    if (locale.portable || locale.territory.size() != 2) return 0;
    const char key[2] = {AsciiUpper(locale.territory[0]), AsciiUpper(locale.territory[1])};
    for (const TerritoryEntry &entry : kTerritories)
        if (entry.territory == std::string_view(key, 2)) return entry.dialling;
    return 0;
}

// The ISO 639 code (two or three letters, lower case) into a buffer of 8
// bytes; empty when the name holds no such code.
void LanguageOf(const LocaleName &locale, char *language) {
    std::string_view code = locale.language;
    bool valid = !locale.portable && (code.size() == 2 || code.size() == 3);
    for (char c : code)
        valid = valid && IsAsciiLetter(c);
    size_t length = valid ? code.size() : 0;
    static_assert(kLanguageSize > 3, "room for the code and its NUL");
    for (size_t i = 0; i < length; ++i)
        language[i] = AsciiLower(code[i]);
    language[length] = '\0';
}

} // namespace

extern "C" RD_EXPORT void RDCharInfo(uint32_t *codePage, int32_t *country, char *language) {
    try {
        LocaleName locale = ParseLocaleName(LocaleFromEnvironment());
        if (codePage != nullptr) *codePage = CodePageOf(locale);
        if (country != nullptr) *country = CountryOf(locale);
        if (language != nullptr) LanguageOf(locale, language);
    } catch (const std::bad_alloc &) { // the C locale's answers
        if (codePage != nullptr) *codePage = 20127;
        if (country != nullptr) *country = 0;
        if (language != nullptr) *language = '\0';
    }
}
