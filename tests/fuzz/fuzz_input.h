// SPDX-License-Identifier: Apache-2.0
// Taking a fuzzer's input apart: small numbers and byte texts from the
// front, the rest as one text in a buffer of exactly its size (so that a
// read past its end is caught by AddressSanitizer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace rdxfuzz {

class Input {
  public:
    Input(const uint8_t *data, size_t size) : at_(data), end_(data + size) {}

    uint8_t Byte() { return at_ < end_ ? *at_++ : 0; }

    // Up to count bytes into out; returns how many there were.
    size_t Bytes(uint8_t *out, size_t count) {
        size_t n = 0;
        for (; n < count && at_ < end_; ++n)
            out[n] = *at_++;
        return n;
    }

    std::vector<uint8_t> Rest() {
        std::vector<uint8_t> rest(at_, end_);
        at_ = end_;
        return rest;
    }

  private:
    const uint8_t *at_;
    const uint8_t *end_;
};

// A broken property is a crash the fuzzer reports with its input.
inline void Require(bool property) {
    if (!property) std::abort();
}

} // namespace rdxfuzz
