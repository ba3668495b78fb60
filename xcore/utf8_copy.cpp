// SPDX-License-Identifier: Apache-2.0
// UTF-8 into UTF-8 (two codes that are both UTF-8): checked first, so that
// well-formed text costs one copy; ill-formed text is repaired as a round
// through UTF-16 would repair it.
#include "routes.h"

#include <algorithm>
#include <cstring>
#include <unicode/utf8.h>

namespace xcore {
namespace {

// True when the text is well-formed UTF-8. Runs of ASCII are skipped eight
// bytes at a time and two-byte characters are checked inline; the others
// are checked by ICU's reader. Each step decides by a test that the
// processor predicts, never by a position computed from the data, so that
// the steps overlap.
bool IsValidUtf8(const uint8_t *bytes, int32_t n) {
    int32_t i = 0;
    while (i < n) {
        uint64_t word;
        if (n - i >= 8 && (std::memcpy(&word, bytes + i, 8), (word & 0x8080808080808080u) == 0)) {
            i += 8;
            continue;
        }
        const uint8_t lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF && n - i >= 2 && (bytes[i + 1] & 0xC0) == 0x80) {
            i += 2;
            continue;
        }
        UChar32 c;
        U8_NEXT(bytes, i, n, c);
        if (c < 0) return false;
    }
    return true;
}

// Copies with every ill-formed sequence (each maximal part of one, as ICU's
// UTF-8 readers count them) replaced by U+FFFD.
size_t RepairUtf8(const uint8_t *bytes, int32_t n, Sink sink) {
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";
    size_t produced = 0;
    auto put = [&](const void *from, size_t count) {
        if (produced < sink.capacity)
            std::memcpy(sink.out + produced, from, std::min(count, sink.capacity - produced));
        produced += count;
    };
    for (int32_t i = 0; i < n;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, n, c);
        if (c < 0)
            put(kReplacement, 3);
        else
            put(bytes + start, static_cast<size_t>(i - start));
    }
    return produced;
}

} // namespace

size_t CopyUtf8(const char *text, size_t length, Sink sink) {
    const auto *bytes = reinterpret_cast<const uint8_t *>(text);
    const auto n = static_cast<int32_t>(length);
    if (!IsValidUtf8(bytes, n)) return RepairUtf8(bytes, n, sink);
    std::memcpy(sink.out, text, std::min(length, sink.capacity));
    return length;
}

} // namespace xcore
