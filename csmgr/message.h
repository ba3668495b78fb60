// SPDX-License-Identifier: Apache-2.0
// The byte layout of the server manager's pipe messages: a 16-byte header of
// little-endian words (code, length, option, status) and a request-specific
// body. Messages are written and read through the helpers below over byte
// spans, never by laying a struct over the bytes, so the image is the same on
// every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace rdx::csmgr {

using Bytes = std::span<uint8_t>;
using ConstBytes = std::span<const uint8_t>;

// Header offsets and size.
inline constexpr std::size_t kCodeAt = 0, kLengthAt = 4, kOptionAt = 8, kStatusAt = 12;
inline constexpr uint32_t kHeaderSize = 16;
// The piece by which the answers of the growable requests grow.
inline constexpr uint32_t kPiece = 2048;

// Request codes.
enum Code : uint32_t {
    kShutdown = 0,
    kAttach = 2,
    kInformation = 3,
    kDetach = 4,
    kState = 5,
    kNextActivity = 6,
    kDoneActivity = 7,
    kRunActivity = 8,
    kCheckSync = 9,
    kGetDescription = 10,
    kPutDescription = 11,
    kGetId = 12,
    kLog = 13,
    kTime = 14,
    kAdvanceClock = 15,
    kGetField = 16,
    kPutField = 17,
    kOpenActivity = 18,
    kFileField = 19,
};

// Fixed request lengths.
inline constexpr uint32_t kBareLength = 16;      // codes 0, 2, 4
inline constexpr uint32_t kInfoLength = 654;     // code 3
inline constexpr uint32_t kStateLength = 20;     // code 5
inline constexpr uint32_t kActivityLength = 552; // codes 6, 7
inline constexpr uint32_t kSyncLength = 25;      // code 9
inline constexpr uint32_t kNameLength = 537;     // codes 12, 18
inline constexpr uint32_t kDataLogLength = 105;  // code 13, kind 2
inline constexpr uint32_t kClockLength = 64;     // codes 14, 15
inline constexpr uint32_t kFieldLength = 533;    // codes 16, 17 without the value
inline constexpr uint32_t kFileLength = 793;     // code 19

// Variable lengths: text length plus these.
inline constexpr uint32_t kRunExtra = 26, kLogExtra = 106;

// Body offsets.
inline constexpr std::size_t kWord16 = 16, kWord20 = 20, kWord24 = 24, kWord28 = 28;
inline constexpr std::size_t kInfoValuesAt = 20, kInfoModeAt = 44, kInfoValues2At = 48,
                             kInfoTextAt = 56, kInfoIntlAt = 568;
inline constexpr std::size_t kInfoTextSize = 512;
inline constexpr std::size_t kNextTextAt = 40, kNextTextSize = 512;
inline constexpr std::size_t kNameAt = 24, kNameSize = kNameLength - kNameAt; // codes 12, 18
inline constexpr std::size_t kRunNameAt = 24;
inline constexpr std::size_t kLogNumberAt = 100, kLogTextAt = 104, kStatisticsAt = 24;
inline constexpr uint32_t kStatisticsCount = 19;
inline constexpr std::size_t kAdvanceAt = 44;
inline constexpr std::size_t kFieldNameAt = 20, kFieldNameSize = 512, kFieldValueAt = 532;
inline constexpr std::size_t kPathAt = 532, kPathSize = kFileLength - kPathAt; // 261
// Description items: sent from byte 24, read from byte 25.
inline constexpr std::size_t kPutItemsAt = 24, kGetItemsAt = 25, kItemHeader = 16;

// Log kinds of code 13.
inline constexpr uint32_t kLogText = 1, kLogData = 2;

inline void PutU32(Bytes message, std::size_t at, uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        message[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint32_t GetU32(ConstBytes message, std::size_t at) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(message[at + i]) << (8 * i);
    return value;
}

// Copies text into message at at; the caller has checked that it fits.
inline void PutText(Bytes message, std::size_t at, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        message[at + i] = static_cast<uint8_t>(text[i]);
}

// The text of a field of size bytes at at, up to its first NUL, within the
// field and within the received bytes of the answer (never past either).
inline std::string_view GetText(ConstBytes answer, std::size_t at, std::size_t size) {
    if (at >= answer.size()) return {};
    std::size_t end = at + size < answer.size() ? at + size : answer.size();
    std::size_t n = 0;
    while (at + n < end && answer[at + n] != 0)
        ++n;
    return {reinterpret_cast<const char *>(answer.data() + at), n};
}

// A message header: the request's code, length and option; status 0.
inline void PutHeader(Bytes message, uint32_t code, uint32_t length, uint32_t option = 0) {
    PutU32(message, kCodeAt, code);
    PutU32(message, kLengthAt, length);
    PutU32(message, kOptionAt, option);
    PutU32(message, kStatusAt, 0);
}

inline uint32_t StatusOf(ConstBytes message) {
    return GetU32(message, kStatusAt);
}

} // namespace rdx::csmgr
