// SPDX-License-Identifier: Apache-2.0
// Test environment of rdxapi: a temporary home with the platform and the
// system context started under a fixed UTF-8 locale, and stream helpers.
#pragma once

#include "alloc_failure.h"
#include "rdplat.h"
#include "rdplat_test.h"
#include "rdxapi.h"
#include "temp_home.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace rdxtest {

// Sets an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char *name, const char *value) : name_(name) {
        if (const char *old = std::getenv(name)) old_ = old, had_ = true;
        setenv(name, value, 1);
    }
    ~ScopedEnv() { had_ ? setenv(name_.c_str(), old_.c_str(), 1) : unsetenv(name_.c_str()); }

  private:
    std::string name_, old_;
    bool had_ = false;
};

// Platform and system context started in a temporary home; the native set
// is UTF-8 (code 65001) and the Translation mode 2 unless restarted.
class SystemTest : public ::testing::Test {
  protected:
    void SetUp() override { Start(nullptr); }
    void TearDown() override { RDSystemTerm(); }
    void Start(const char *translation) {
        ASSERT_EQ(0u, home_.StartPlatform());
        if (translation != nullptr) {
            ASSERT_EQ(0u,
                      RDINISetString("Configuration", "Translation", translation, "quarry.ini"));
        }
        ASSERT_EQ(0u, RDSystemInit());
    }
    void Restart(const char *translation) {
        RDSystemTerm();
        RDPlatTerm();
        Start(translation);
    }

    ScopedEnv locale_{"LC_ALL", "en_US.UTF-8"};
    rdtest::TempHome home_;
};

// A stream holding bytes, released at the end of the scope.
struct Stream {
    RDStream s{};
    Stream() = default;
    Stream(const std::string &bytes, uint32_t charset, uint32_t maxLength = 0, uint32_t flags = 0) {
        EXPECT_EQ(0u, RDStreamCreate(&s, maxLength, flags, charset));
        EXPECT_EQ(0u,
                  RDStreamDataSet(&s, charset, bytes.data(), static_cast<uint32_t>(bytes.size())));
    }
    ~Stream() { RDStreamDataFree(&s); }
    RDStream *operator&() { return &s; }
    std::string Bytes() const {
        return s.data == nullptr ? std::string()
                                 : std::string(reinterpret_cast<char *>(s.data), s.length);
    }
};

// A record's maxLength, length, flags and charset, compared as one.
using Fields = std::array<uint32_t, 4>;
inline Fields FieldsOf(const RDStream &s) {
    return {s.maxLength, s.length, s.flags, s.charset};
}

// True when the four bytes after the data are zero.
inline bool Terminated(const RDStream &stream) {
    return std::memcmp(stream.data + stream.length, "\0\0\0\0", 4) == 0;
}

// The bytes converted from code from into code to; the conversion must
// give expectStatus and, when it succeeds, a consistent terminated stream.
inline std::string Converted(const std::string &bytes, uint32_t from, uint32_t to,
                             uint32_t expectStatus = 0, uint32_t options = 0) {
    Stream source(bytes, from), destination;
    uint8_t *data = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(expectStatus, RDStreamDataConvert(&destination, &source, options, to, &data, &length))
        << from << " -> " << to;
    if (expectStatus == 0) {
        EXPECT_TRUE(data == destination.s.data && length == destination.s.length);
        EXPECT_EQ(to, destination.s.charset);
        EXPECT_TRUE(Terminated(destination.s));
    }
    return destination.Bytes();
}

inline std::string Repeat(const std::string &text, int times) {
    std::string all;
    while (times-- > 0)
        all += text;
    return all;
}

// A 16-bit little-endian number, as lists hold them.
inline std::string Le16(size_t value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

// The bytes of a text list.
inline std::string List(std::initializer_list<std::string> texts) {
    std::string header = Le16(texts.size()), body;
    for (const std::string &t : texts) {
        header += Le16(t.size());
        body += t;
    }
    return header + body;
}

// The bytes of a number or datetime list: singles, then (low, high) pairs.
template <typename T>
std::string ValueList(const std::vector<T> &singles,
                      const std::vector<std::pair<T, T>> &ranges = {}) {
    std::string bytes = Le16(singles.size()) + Le16(ranges.size());
    auto add = [&bytes](const T &v) { bytes.append(reinterpret_cast<const char *>(&v), sizeof v); };
    for (const T &v : singles)
        add(v);
    for (const auto &[low, high] : ranges)
        add(low), add(high);
    return bytes;
}

// UTF-16LE bytes.
inline std::string Wide(const std::u16string &text) {
    std::string bytes;
    for (char16_t unit : text)
        bytes += Le16(unit);
    return bytes;
}

// Rich-text records: a paragraph end and a text run.
inline const std::string kParagraphEnd("\x81\x02", 2);
inline std::string TextRun(const std::string &text) {
    std::string record = "\x85\xFF" + Le16(8 + text.size()) + std::string(4, '\0') + text;
    return text.size() % 2 != 0 ? record + '\0' : record;
}

// Datetime parts as "y-m-d h:m:s.hu", leaving out an absent date or time;
// with the zone, " dst zone" follows. The weekday is not shown.
inline std::string Show(const RDDatetimeParts &p, bool zone = false) {
    char date[48] = "", time[48] = "", tail[32] = "";
    if (p.year != -1 || p.month != -1 || p.day != -1)
        std::snprintf(date, sizeof date, "%d-%d-%d", p.year, p.month, p.day);
    if (p.hour != -1 || p.minute != -1 || p.second != -1 || p.hundredth != -1)
        std::snprintf(time, sizeof time, "%s%d:%02d:%02d.%02d", date[0] ? " " : "", p.hour,
                      p.minute, p.second, p.hundredth);
    if (zone) std::snprintf(tail, sizeof tail, " %d %d", p.dst, p.zone);
    return std::string(date) + time + tail;
}

// Every allocation failure of an operation, RDMemAlloc and the C++ heap
// alike (see alloc_failure.h).
using rdtest::ForEachAllocationFailure;

} // namespace rdxtest
