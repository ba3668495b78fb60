// Translation of a text between the character sets of two tables. UTF-8 and
// UTF-16LE take ICU's direct routines; every other pair goes through the
// cached converters (ucnv_convertEx converts UTF-8 and single-byte sets
// directly, without a pivot where ICU can).
#include "xcore_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

namespace xcore {
namespace {

constexpr UChar32 kSubstitute = 0xFFFD;
constexpr uint64_t kLargestOutput = 0x7FFFFFF0;

// Where converted bytes go: the caller's buffer or a scratch area once
// it is full, counting every byte produced.
struct Sink {
    char *out;
    size_t capacity;
};

// Converts with the pair's converters through a pivot of UTF-16. Writes
// what fits into sink and returns the whole output length.
bool ConvertThroughPivot(Table &to, Table &from, const char *source, size_t length, Sink sink,
                         size_t *produced) {
    UChar pivot[1024];
    UChar *pivotSource = pivot, *pivotTarget = pivot;
    char scratch[1024];
    char *base = sink.capacity != 0 ? sink.out : scratch;
    char *target = base;
    const char *limit = base + (sink.capacity != 0 ? sink.capacity : sizeof scratch);
    const char *read = source;
    size_t total = 0;
    bool reset = true;
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        ucnv_convertEx(to.converter, from.converter, &target, limit, &read, source + length, pivot,
                       &pivotSource, &pivotTarget, pivot + 1024, reset, true, &status);
        reset = false;
        total += static_cast<size_t>(target - base);
        if (status != U_BUFFER_OVERFLOW_ERROR) {
            *produced = total;
            return U_SUCCESS(status);
        }
        base = target = scratch; // keep counting what does not fit
        limit = scratch + sizeof scratch;
    }
}

// Texts up to this many bytes of a converter's set go into UTF-8 through a
// UTF-16 form on the stack: the converter's own reader followed by ICU's
// direct UTF-8 writer costs less than a converter pair. Sets that need more
// UTF-16 units than the pivot holds take the converter pair.
constexpr size_t kShortPivot = 256;
constexpr size_t kShortSource = kShortPivot / 2;

// Converts a short text of from's set into UTF-8; false with *fits false
// when its UTF-16 form exceeds the pivot.
bool ShortToUtf8(Table &from, const char *source, size_t length, Sink sink, int32_t *n,
                 UErrorCode *status, bool *fits) {
    UChar pivot[kShortPivot];
    UChar *target = pivot;
    ucnv_resetToUnicode(from.converter);
    ucnv_toUnicode(from.converter, &target, pivot + kShortPivot, &source, source + length, nullptr,
                   true, status);
    *fits = *status != U_BUFFER_OVERFLOW_ERROR;
    if (U_FAILURE(*status)) return false;
    u_strToUTF8WithSub(sink.out, static_cast<int32_t>(sink.capacity), n, pivot,
                       static_cast<int32_t>(target - pivot), kSubstitute, nullptr, status);
    return true;
}

// True when the text is well-formed UTF-8. Runs of ASCII are skipped eight
// bytes at a time, so that valid text costs little more than its copy.
bool IsValidUtf8(const char *text, size_t length) {
    const auto *bytes = reinterpret_cast<const uint8_t *>(text);
    const auto n = static_cast<int32_t>(length);
    int32_t i = 0;
    while (i < n) {
        uint64_t word;
        if (n - i >= 8 && (std::memcpy(&word, bytes + i, 8), (word & 0x8080808080808080u) == 0)) {
            i += 8;
            continue;
        }
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        UChar32 c;
        U8_NEXT(bytes, i, n, c);
        if (c < 0) return false;
    }
    return true;
}

// Copies UTF-8 into sink with every ill-formed sequence (each maximal part of
// one, as ICU's UTF-8 readers count them) replaced by U+FFFD, as a round
// through UTF-16 would. Returns the whole output length.
size_t RepairUtf8(const char *text, size_t length, Sink sink) {
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";
    const auto *bytes = reinterpret_cast<const uint8_t *>(text);
    const auto n = static_cast<int32_t>(length);
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

// UTF-8 into UTF-8: one copy for well-formed text, a repair otherwise.
size_t CopyUtf8(const char *text, size_t length, Sink sink) {
    if (!IsValidUtf8(text, length)) return RepairUtf8(text, length, sink);
    std::memcpy(sink.out, text, std::min(length, sink.capacity));
    return length;
}

// UTF-16 input must be aligned for ICU; a misaligned text is copied.
const UChar *AlignedUnits(const void *source, size_t units, std::unique_ptr<UChar[]> &copy) {
    if (reinterpret_cast<uintptr_t>(source) % alignof(UChar) == 0)
        return static_cast<const UChar *>(source);
    copy.reset(new (std::nothrow) UChar[units + 1]);
    if (copy) std::memcpy(copy.get(), source, units * sizeof(UChar));
    return copy.get();
}

// Convert for any pair; Convert itself takes UTF-8 to UTF-16LE inline.
bool ConvertAny(Table &to, Table &from, const char *source, size_t length, Sink sink,
                size_t *produced) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = 0;
    const auto capacity = static_cast<int32_t>(sink.capacity);
    if (to.form == Form::Utf8 && from.form == Form::Utf8) {
        *produced = CopyUtf8(source, length, sink);
        return true;
    }
    if (to.form == from.form && to.form != Form::Other) {
        std::memcpy(sink.out, source, std::min(length, sink.capacity));
        *produced = length;
        return true;
    }
    if (from.form == Form::Utf16Le) {
        if (length % 2 != 0) return false; // half a code unit
        std::unique_ptr<UChar[]> copy;
        const UChar *units = AlignedUnits(source, length / 2, copy);
        if (units == nullptr) return false;
        const auto count = static_cast<int32_t>(length / 2);
        if (to.form == Form::Utf8)
            u_strToUTF8WithSub(sink.out, capacity, &n, units, count, kSubstitute, nullptr, &status);
        else
            n = ucnv_fromUChars(to.converter, sink.out, capacity, units, count, &status);
    } else if (to.form == Form::Utf16Le) {
        auto *out = reinterpret_cast<UChar *>(sink.out);
        const int32_t units = capacity / 2;
        const auto count = static_cast<int32_t>(length);
        if (from.form == Form::Utf8)
            u_strFromUTF8WithSub(out, units, &n, source, count, kSubstitute, nullptr, &status);
        else
            n = ucnv_toUChars(from.converter, out, units, source, count, &status);
        n *= 2;
    } else if (to.form == Form::Utf8 && length <= kShortSource) {
        bool fits = true;
        if (!ShortToUtf8(from, source, length, sink, &n, &status, &fits) && !fits)
            return ConvertThroughPivot(to, from, source, length, sink, produced);
    } else {
        return ConvertThroughPivot(to, from, source, length, sink, produced);
    }
    if (status == U_BUFFER_OVERFLOW_ERROR || status == U_STRING_NOT_TERMINATED_WARNING)
        status = U_ZERO_ERROR;
    *produced = static_cast<size_t>(n);
    return U_SUCCESS(status);
}

// Converts into sink, returning the whole output length in bytes
// (terminator not counted) in *produced. UTF-8 to UTF-16LE, the most
// frequent pair, is converted inline.
inline bool Convert(Table &to, Table &from, const char *source, size_t length, Sink sink,
                    size_t *produced) {
    if (from.form != Form::Utf8 || to.form != Form::Utf16Le)
        return ConvertAny(to, from, source, length, sink, produced);
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = 0;
    u_strFromUTF8WithSub(reinterpret_cast<UChar *>(sink.out),
                         static_cast<int32_t>(sink.capacity) / 2, &n, source,
                         static_cast<int32_t>(length), kSubstitute, nullptr, &status);
    *produced = static_cast<size_t>(n) * 2;
    return U_SUCCESS(status) || status == U_BUFFER_OVERFLOW_ERROR;
}

// Output bytes that usually suffice; a larger output is converted again.
uint64_t Estimate(const Table &to, const Table &from, uint64_t length) {
    if (to.form == Form::Utf16Le) return length * 2;
    if (from.form == Form::Utf16Le) return (length / 2) * ucnv_getMaxCharSize(to.converter);
    return length * ucnv_getMaxCharSize(to.converter);
}

// Terminators are 1, 2 or 4 bytes; stored without a call to memset.
inline void Terminate(char *out, size_t capacity, size_t produced, uint32_t terminator) {
    if (produced + terminator > capacity) return;
    char *at = out + produced;
    switch (terminator) {
    case 1:
        at[0] = 0;
        break;
    case 2:
        std::memcpy(at, "\0", 2);
        break;
    case 4:
        std::memcpy(at, "\0\0\0", 4);
        break;
    default:
        std::memset(at, 0, terminator);
    }
}

// Converts into storage allocated here, growing it once when the estimate
// was short.
uint32_t TranslateAllocating(Table &to, Table &from, const char *source, uint32_t length,
                             TranslateResult *result) {
    uint64_t room = Estimate(to, from, length);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (room > kLargestOutput) return 1;
        const size_t capacity = static_cast<size_t>(room) + to.terminator;
        auto *out = static_cast<char *>(std::malloc(capacity));
        if (out == nullptr) return 1;
        size_t produced = 0;
        if (!Convert(to, from, source, length, Sink{out, capacity - to.terminator}, &produced)) {
            std::free(out);
            return 1;
        }
        if (produced <= room) {
            Terminate(out, capacity, produced, to.terminator);
            result->allocated = out;
            result->length = static_cast<uint32_t>(produced + to.terminator);
            result->terminator = to.terminator;
            return 0;
        }
        std::free(out);
        room = produced;
    }
    return 1;
}

} // namespace

uint32_t Translate(Table *destinationTable, Table *sourceTable, void *buffer, uint32_t capacity,
                   const void *source, uint32_t sourceLength, TranslateResult *result) {
    if (destinationTable == nullptr || sourceTable == nullptr || result == nullptr) return 1;
    *result = TranslateResult{};
    if ((source == nullptr && sourceLength != 0) || sourceLength > kLargestOutput) return 1;
    static const char kNothing[2] = {0, 0};
    const char *text = source != nullptr ? static_cast<const char *>(source) : kNothing;
    Table &to = *destinationTable;
    if (buffer == nullptr) return TranslateAllocating(to, *sourceTable, text, sourceLength, result);
    if (capacity < to.terminator) return 1;
    if (to.form == Form::Utf16Le && reinterpret_cast<uintptr_t>(buffer) % alignof(UChar) != 0)
        return 1;
    capacity = static_cast<uint32_t>(std::min<uint64_t>(capacity, kLargestOutput));
    auto *out = static_cast<char *>(buffer);
    size_t produced = 0;
    if (!Convert(to, *sourceTable, text, sourceLength, Sink{out, capacity - to.terminator},
                 &produced))
        return 1;
    if (produced > kLargestOutput) return 1;
    Terminate(out, capacity, produced, to.terminator);
    result->length = static_cast<uint32_t>(produced + to.terminator);
    result->terminator = to.terminator;
    return 0;
}

void FreeOutput(void *output) {
    std::free(output);
}

} // namespace xcore
