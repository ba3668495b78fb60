// SPDX-License-Identifier: Apache-2.0
// Parts shared by the requests: names and texts converted to the interchange
// set, and zeroed heap blocks for the requests whose size follows a text.
#pragma once

#include "csmgr/message.h"

#include "rdx_stream.h"

#include <cstdint>
#include <string_view>

namespace rdx::csmgr {

class Block;

// A caller's text in the interchange set, released at the end of the scope.
class Interchange {
  public:
    Interchange() = default;
    ~Interchange() { RDStreamDataFree(&stream_); }
    Interchange(const Interchange &) = delete;
    Interchange &operator=(const Interchange &) = delete;

    // Converts source; the conversion's status.
    uint32_t Convert(const RDStream *source);
    // The converted bytes (empty when the conversion yielded none).
    std::string_view Text() const;

  private:
    RDStream stream_{};
};

// Converts name and writes it with its NUL into the field of size bytes at
// at (left empty when the conversion yields nothing). 779 when the name and
// its NUL do not fit the field: a cut name would name something else.
uint32_t PutName(Bytes message, std::size_t at, std::size_t size, const RDStream *name);

// The text of a request whose size follows it: converts source into text
// and allocates block for the text and extra bytes around it. 0, 779 (no
// source), 258 or the conversion's status.
uint32_t SizeByText(const RDStream *source, uint32_t extra, Interchange &text, Block &block);

// A zeroed heap block from RDMemCalloc, freed at the end of the scope.
class Block {
  public:
    Block() = default;
    ~Block();
    Block(const Block &) = delete;
    Block &operator=(const Block &) = delete;

    // Allocates size bytes; false when the size cannot be allocated.
    bool Allocate(uint64_t size);
    Bytes Span() const { return {data_, capacity_}; }
    uint8_t *&Data() { return data_; }
    uint32_t &Capacity() { return capacity_; }

  private:
    uint8_t *data_ = nullptr;
    uint32_t capacity_ = 0;
};

} // namespace rdx::csmgr
