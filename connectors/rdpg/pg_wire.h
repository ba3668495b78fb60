// SPDX-License-Identifier: Apache-2.0
// Big-endian words of the server's binary formats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rdpg {

inline void Put16(std::string &out, uint16_t v) {
    const char bytes[2] = {static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(bytes, 2);
}
inline void Put32(std::string &out, uint32_t v) {
    const char bytes[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(bytes, 4);
}
inline void Put64(std::string &out, uint64_t v) {
    Put32(out, static_cast<uint32_t>(v >> 32));
    Put32(out, static_cast<uint32_t>(v));
}
inline uint64_t Get(std::string_view bytes, size_t at, size_t size) {
    uint64_t v = 0;
    for (size_t i = at; i < at + size; ++i)
        v = (v << 8) | static_cast<unsigned char>(bytes[i]);
    return v;
}

} // namespace rdpg
