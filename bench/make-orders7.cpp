// SPDX-License-Identifier: Apache-2.0
// Writes a CSV file of generated orders for the end-to-end benchmarks, the
// same bytes on every run (fixed seed). Seven columns after a header line:
//   id          64-bit integers, a third of them above 2^32
//   customer    names with commas, double quotes, line breaks, non-ASCII
//               letters and some emoji
//   amount      numeric(14,2), negatives among them
//   ordered_at  date-times from 1899 to 2026, some before 1970, some with
//               hundredths of a second
//   quantity    32-bit integers, the extremes among them
//   weight      doubles of at most 15 significant digits in their shortest
//               text, so that every tool prints them back alike
//   notes       text, mostly empty, sometimes long with commas
// Fields are quoted as RFC 4180 says; lines end in LF.
// Usage: make-orders7 ROWS > orders.csv
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>

namespace {

// splitmix64: small, fast, and the same sequence everywhere.
struct Random {
    uint64_t state = 0x5eed0f0de75ULL;
    uint64_t Next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    uint64_t Below(uint64_t n) { return Next() % n; }
};

constexpr std::string_view kFirst[] = {
    "Anna",  "Jürgen", "Zoë",   "Łukasz", "Søren", "François", "Nuño", "José",
    "Émile", "Ågot",   "Chloë", "Ștefan", "Mika",  "Dvořák",   "Olaf", "Ines",
};
constexpr std::string_view kLast[] = {
    "Müller",      "Smith, Jr.",     "O'Brien",     "\"Big\" Deals",     "Gröna Lund",
    "Straße 7",    "Café Olé",       "Ørsted, Åse", "São Paulo Imports", "Łódź Trading",
    "Plain Goods", "Nørre & Sønner", "Ünal",        "Crème Brûlée Co.",  "Wolf",
};
constexpr std::string_view kSuffix[] = {
    "",
    "",
    "",
    ", Inc.",
    " GmbH",
    " & Söhne",
    "\nWarehouse 3",
    " 🚀",
    " \"the\" shop",
    " 🍕 Pizza",
    " Ltd.",
    "\nc/o Front Desk",
};
constexpr std::string_view kWords[] = {
    "deliver", "before", "noon", "fragile", "call",   "ahead", "gate",     "code",   "4711",
    "leave",   "at",     "door", "naïve",   "façade", "back",  "entrance", "thanks", "pallet",
};

void Field(std::string &line, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += text;
        return;
    }
    line += '"';
    for (char c : text) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

template <typename Int> void Number(std::string &line, Int value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    line.append(buffer, result.ptr);
}

// The civil date of a count of days since 1970-01-01 (proleptic Gregorian).
void Civil(int64_t days, int &year, int &month, int &day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

void Row(std::string &line, uint64_t i, Random &random) {
    // id: unique; every third one moved above 2^32.
    Number(line, i % 3 == 0 ? i + 5000000000ULL : i);
    line += ',';

    std::string customer(kFirst[random.Below(std::size(kFirst))]);
    customer += ' ';
    customer += kLast[random.Below(std::size(kLast))];
    customer += kSuffix[random.Below(std::size(kSuffix))];
    Field(line, customer);
    line += ',';

    // amount: mostly everyday sums, one in a hundred up to twelve digits.
    const int64_t cents = random.Below(100) == 0
                              ? static_cast<int64_t>(random.Below(100000000000000ULL))
                              : static_cast<int64_t>(random.Below(10000000));
    const int64_t amount = random.Below(5) == 0 ? -cents : cents;
    if (amount < 0) line += '-';
    Number(line, (amount < 0 ? -amount : amount) / 100);
    line += '.';
    const int64_t fraction = (amount < 0 ? -amount : amount) % 100;
    line += static_cast<char>('0' + fraction / 10);
    line += static_cast<char>('0' + fraction % 10);
    line += ',';

    // ordered_at: 2000-2026 mostly, 1950-1969 sometimes, 1899-1901 rarely.
    const uint64_t era = random.Below(20);
    int64_t days = era == 0   ? -25567 + static_cast<int64_t>(random.Below(1096)) - 365
                   : era <= 3 ? -7305 + static_cast<int64_t>(random.Below(7305))
                              : 10957 + static_cast<int64_t>(random.Below(9800));
    int year, month, day;
    Civil(days, year, month, day);
    const uint64_t second = random.Below(86400);
    char when[40];
    int length = std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day,
                               static_cast<int>(second / 3600), static_cast<int>(second / 60 % 60),
                               static_cast<int>(second % 60));
    // Hundredths whose last digit is not 0, so that no tool writes them shorter.
    if (random.Below(10) == 0)
        length += std::snprintf(when + length, sizeof when - length, ".%02d",
                                static_cast<int>(random.Below(10) * 10 + 1 + random.Below(9)));
    line.append(when, length);
    line += ',';

    // quantity: small counts, with zero, negatives and the 32-bit extremes.
    const uint64_t pick = random.Below(1000);
    const int64_t quantity = pick == 0   ? INT32_MIN
                             : pick == 1 ? INT32_MAX
                             : pick < 50 ? -static_cast<int64_t>(random.Below(100))
                                         : static_cast<int64_t>(random.Below(10000));
    Number(line, quantity);
    line += ',';

    // weight: up to 7 digits at three decimals, sometimes tiny or huge.
    const uint64_t kind = random.Below(50);
    const double mantissa = static_cast<double>(random.Below(10000000));
    const double weight = kind == 0   ? mantissa / 1e9
                          : kind == 1 ? mantissa * 1e15
                          : kind == 2 ? static_cast<double>(random.Below(1000000000000000ULL)) / 100
                                      : mantissa / 1000;
    Number(line, weight);
    line += ',';

    // notes: empty two times in three; else a few words or a long text.
    const uint64_t notes = random.Below(30);
    if (notes >= 10) {
        // empty
    } else {
        std::string text;
        const uint64_t words = notes == 0 ? 100 + random.Below(400) : 1 + random.Below(12);
        for (uint64_t w = 0; w < words; ++w) {
            if (w) text += random.Below(6) == 0 ? ", " : " ";
            text += kWords[random.Below(std::size(kWords))];
        }
        if (notes == 1) text += " \"urgent\"";
        Field(line, text);
    }
    line += '\n';
}

} // namespace

int main(int argc, char **argv) {
    uint64_t rows = 0;
    const char *arg = argc == 2 ? argv[1] : "";
    const auto [end, error] = std::from_chars(arg, arg + std::strlen(arg), rows);
    if (argc != 2 || error != std::errc() || *end != '\0') {
        std::fprintf(stderr, "usage: make-orders7 ROWS > orders.csv\n");
        return 2;
    }
    Random random;
    std::string chunk = "id,customer,amount,ordered_at,quantity,weight,notes\n";
    for (uint64_t i = 1; i <= rows; ++i) {
        Row(chunk, i, random);
        if (chunk.size() >= (1 << 20)) {
            if (std::fwrite(chunk.data(), 1, chunk.size(), stdout) != chunk.size()) break;
            chunk.clear();
        }
    }
    if (!chunk.empty()) std::fwrite(chunk.data(), 1, chunk.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::perror("make-orders7");
        return 1;
    }
    return 0;
}
