// SPDX-License-Identifier: Apache-2.0
// Translation of a text between the character sets of two tables. UTF-8 and
// UTF-16LE take ICU's direct routines; text into UTF-8 from another set is
// read into UTF-16 by its converter and written by ICU's UTF-8 writer; every
// other pair goes through the converters with ucnv_convertEx (which converts
// UTF-8 and single-byte sets directly, without a pivot where ICU can).
#include "routes.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <unicode/ustring.h>

namespace xcore {
namespace {

constexpr uint64_t kLargestOutput = 0x7FFFFFF0;

// UTF-16 input must be aligned for ICU; a misaligned text is copied.
const UChar *AlignedUnits(const void *source, size_t units, std::unique_ptr<UChar[]> &copy) {
    if (reinterpret_cast<uintptr_t>(source) % alignof(UChar) == 0)
        return static_cast<const UChar *>(source);
    copy.reset(new (std::nothrow) UChar[units + 1]);
    if (copy) std::memcpy(copy.get(), source, units * sizeof(UChar));
    return copy.get();
}

// UTF-16LE text into to's set.
uint32_t FromUtf16(Table &to, const char *source, size_t length, Sink sink, size_t *produced) {
    if (length % 2 != 0) return kFailed; // half a code unit
    std::unique_ptr<UChar[]> copy;
    const UChar *units = AlignedUnits(source, length / 2, copy);
    if (units == nullptr) return kNoMemory;
    const auto count = static_cast<int32_t>(length / 2);
    if (to.form != Form::Utf8) return FromUnits(to, units, count, sink, produced);
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = 0;
    const auto capacity = static_cast<int32_t>(std::min<size_t>(sink.capacity, INT32_MAX));
    u_strToUTF8WithSub(sink.out, capacity, &n, units, count, kSubstitute, nullptr, &status);
    *produced = static_cast<size_t>(n);
    return StatusOf(status);
}

// Convert for any pair; Convert itself takes UTF-8 to UTF-16LE inline.
[[gnu::noinline]] uint32_t ConvertAny(Table &to, Table &from, const char *source, size_t length,
                                      Sink sink, size_t *produced) {
    if (to.form == Form::Utf8 && from.form == Form::Utf8) {
        *produced = CopyUtf8(source, length, sink);
        return 0;
    }
    if (to.form == from.form && to.form != Form::Other) {
        std::memcpy(sink.out, source, std::min(length, sink.capacity));
        *produced = length;
        return 0;
    }
    if (from.form == Form::Utf16Le) return FromUtf16(to, source, length, sink, produced);
    if (to.form == Form::Utf16Le)
        return ToUnits(from, source, static_cast<int32_t>(length), sink, produced);
    if (to.form == Form::Utf8) return ToUtf8ThroughUnits(from, source, length, sink, produced);
    return ConvertThroughPivot(to, from, source, length, sink, produced);
}

// Converts into sink, returning the whole output length in bytes
// (terminator not counted) in *produced. UTF-8 to UTF-16LE, the most
// frequent pair, is converted inline.
inline uint32_t Convert(Table &to, Table &from, const char *source, size_t length, Sink sink,
                        size_t *produced) {
    if (from.form != Form::Utf8 || to.form != Form::Utf16Le)
        return ConvertAny(to, from, source, length, sink, produced);
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = 0;
    u_strFromUTF8WithSub(reinterpret_cast<UChar *>(sink.out),
                         static_cast<int32_t>(std::min<size_t>(sink.capacity / 2, INT32_MAX)), &n,
                         source, static_cast<int32_t>(length), kSubstitute, nullptr, &status);
    *produced = static_cast<size_t>(n) * 2;
    return StatusOf(status);
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

// Converts into storage allocated here (from the C++ heap, without
// throwing), growing it once when the estimate was short.
uint32_t TranslateAllocating(Table &to, Table &from, const char *source, uint32_t length,
                             TranslateResult *result) {
    uint64_t room = OutputEstimate(&to, &from, length);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (room > kLargestOutput) return kNoMemory; // no block holds the output
        const size_t capacity = static_cast<size_t>(room) + to.terminator;
        auto *out = new (std::nothrow) char[capacity];
        if (out == nullptr) return kNoMemory;
        size_t produced = 0;
        if (uint32_t status =
                Convert(to, from, source, length, Sink{out, capacity - to.terminator}, &produced);
            status != 0) {
            delete[] out;
            return status;
        }
        if (produced <= room) {
            Terminate(out, capacity, produced, to.terminator);
            result->allocated = out;
            result->length = static_cast<uint32_t>(produced + to.terminator);
            result->terminator = to.terminator;
            return 0;
        }
        delete[] out;
        room = produced;
    }
    return kFailed;
}

} // namespace

uint32_t Translate(Table *destinationTable, Table *sourceTable, void *buffer, uint32_t capacity,
                   const void *source, uint32_t sourceLength, TranslateResult *result) {
    if (destinationTable == nullptr || sourceTable == nullptr || result == nullptr) return kFailed;
    *result = TranslateResult{};
    if ((source == nullptr && sourceLength != 0) || sourceLength > kLargestOutput) return kFailed;
    static const char kNothing[2] = {0, 0};
    const char *text = source != nullptr ? static_cast<const char *>(source) : kNothing;
    Table &to = *destinationTable;
    if (buffer == nullptr) return TranslateAllocating(to, *sourceTable, text, sourceLength, result);
    if (capacity < to.terminator) return kFailed;
    if (to.form == Form::Utf16Le && reinterpret_cast<uintptr_t>(buffer) % alignof(UChar) != 0)
        return kFailed;
    capacity = static_cast<uint32_t>(std::min<uint64_t>(capacity, kLargestOutput));
    auto *out = static_cast<char *>(buffer);
    size_t produced = 0;
    if (uint32_t status = Convert(to, *sourceTable, text, sourceLength,
                                  Sink{out, capacity - to.terminator}, &produced);
        status != 0)
        return status;
    if (produced > kLargestOutput) return kFailed;
    Terminate(out, capacity, produced, to.terminator);
    result->length = static_cast<uint32_t>(produced + to.terminator);
    result->terminator = to.terminator;
    return 0;
}

uint32_t TranslateInto(Table *destinationTable, Table *sourceTable, void *out, uint32_t room,
                       const void *source, uint32_t sourceLength, uint32_t *produced) {
    static const char kNothing[2] = {0, 0};
    Table &to = *destinationTable;
    if ((to.form == Form::Utf16Le && reinterpret_cast<uintptr_t>(out) % alignof(UChar) != 0) ||
        sourceLength > kLargestOutput)
        return kFailed;
    const char *text = source != nullptr ? static_cast<const char *>(source) : kNothing;
    size_t length = 0;
    if (uint32_t status = Convert(to, *sourceTable, text, sourceLength,
                                  Sink{static_cast<char *>(out), room}, &length);
        status != 0)
        return status;
    if (length > kLargestOutput) return kFailed;
    *produced = static_cast<uint32_t>(length);
    return 0;
}

uint64_t OutputEstimate(const Table *to, const Table *from, uint32_t sourceLength) {
    const uint64_t length = sourceLength;
    if (to->form == Form::Utf16Le) return length * 2;
    if (to->form == Form::Utf8 && from->form == Form::Utf8) return length; // unless ill-formed
    if (from->form == Form::Utf16Le) return (length / 2) * to->maxCharSize;
    return length * to->maxCharSize;
}

void FreeOutput(void *output) {
    delete[] static_cast<char *>(output);
}

} // namespace xcore
