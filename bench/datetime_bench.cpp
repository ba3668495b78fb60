// SPDX-License-Identifier: Apache-2.0
// Datetime and integer-text operations against raw baselines in the same
// run: building and splitting a full date and time against a direct
// days-from-civil / civil-from-days computation, and the integer texts
// against std::to_chars / std::from_chars.
#include "rdplat.h"
#include "rdx_datetime.h"
#include "rdx_text.h"
#include "rdxapi.h"

#include "bench_system.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// A full local date and time in zone -5 without daylight saving; the day
// and the minute vary so that nothing is computed once only.
RDDatetimeParts PartsOf(int64_t i) {
    return RDDatetimeParts{1900 + static_cast<int32_t>(i % 200),
                           1 + static_cast<int32_t>(i % 12),
                           1 + static_cast<int32_t>(i % 28),
                           -1,
                           static_cast<int32_t>(i % 24),
                           static_cast<int32_t>(i % 60),
                           30,
                           5,
                           0,
                           -5};
}

void DatetimeRoundTrip(benchmark::State &state) {
    rdbench::StartSystem();
    int64_t i = 0;
    for (auto _ : state) {
        const RDDatetimeParts in = PartsOf(i++);
        RDDatetime value;
        RDDatetimeParts out;
        RDDatetimeSetParts(&value, &in, 0);
        RDDatetimeGetParts(&value, 0, &out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(DatetimeRoundTrip);

// Proleptic Gregorian days since 1970 and back (H. Hinnant's algorithms),
// with the zone offset applied to the time of day.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int32_t *y, int32_t *m, int32_t *d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    *y = static_cast<int32_t>(static_cast<int64_t>(yoe) + era * 400 + (*m <= 2));
}

void CivilRoundTripBaseline(benchmark::State &state) {
    int64_t i = 0;
    for (auto _ : state) {
        const RDDatetimeParts in = PartsOf(i++);
        int64_t day = DaysFromCivil(in.year, in.month, in.day);
        int64_t ticks =
            ((int64_t{in.hour} * 60 + in.minute + 300) * 60 + in.second) * 100 + in.hundredth;
        if (ticks >= 8640000) ticks -= 8640000, ++day;
        RDDatetimeParts out{};
        int64_t local = ticks - 300 * 6000;
        if (local < 0) local += 8640000, --day;
        CivilFromDays(day, &out.year, &out.month, &out.day);
        out.hour = static_cast<int32_t>(local / 360000);
        out.minute = static_cast<int32_t>(local / 6000 % 60);
        out.second = static_cast<int32_t>(local / 100 % 60);
        out.hundredth = static_cast<int32_t>(local % 100);
        out.weekday = static_cast<int32_t>((day + 4) % 7 + 1);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(CivilRoundTripBaseline);

void StreamFromInt(benchmark::State &state) {
    rdbench::StartSystem();
    RDStream stream{};
    RDStreamCreate(&stream, 0, 0, RDCHARSET_DEFAULT);
    int32_t value = 123456789;
    for (auto _ : state) {
        RDStreamFromInt(&stream, &value, RDCHARSET_DEFAULT);
        benchmark::DoNotOptimize(stream.data);
        value ^= 0x5A5A;
    }
    RDStreamDataFree(&stream);
}
BENCHMARK(StreamFromInt);

void ToCharsBaseline(benchmark::State &state) {
    char text[16];
    int32_t value = 123456789;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::to_chars(text, text + sizeof text, value).ptr);
        value ^= 0x5A5A;
    }
}
BENCHMARK(ToCharsBaseline);

// An integer read from a text in one character set.
void ReadIntIn(benchmark::State &state, uint32_t charset) {
    rdbench::StartSystem();
    RDStream stream{};
    RDStreamCreate(&stream, 0, 0, charset);
    RDStreamDataSet(&stream, charset, "123456789", 9);
    for (auto _ : state) {
        int32_t value = 0;
        RDIntFromStream(&value, &stream);
        benchmark::DoNotOptimize(value);
    }
    RDStreamDataFree(&stream);
}

void IntFromStream(benchmark::State &state) {
    ReadIntIn(state, RDCHARSET_DEFAULT);
}
BENCHMARK(IntFromStream);

// The same text in the interchange set (UTF-8, like the native set here).
void IntFromInterchangeStream(benchmark::State &state) {
    ReadIntIn(state, RDCHARSET_INTERCHANGE);
}
BENCHMARK(IntFromInterchangeStream);

void FromCharsBaseline(benchmark::State &state) {
    const char text[] = "123456789";
    for (auto _ : state) {
        int32_t value = 0;
        const char *at = text;
        benchmark::DoNotOptimize(at);
        std::from_chars(at, at + 9, value);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(FromCharsBaseline);

} // namespace
