// SPDX-License-Identifier: Apache-2.0
// The texts a log entry is made of, each in character set 256: catalogue
// texts by message number, the record's texts, and numbers.
#pragma once

#include "activity/log_text.h"
#include "rdres.h"
#include "rdx_stream.h"

#include <cstdint>
#include <string_view>

namespace rdx {

// A catalogue text; "MSG# n NOT FOUND" for a number without text.
class CatalogueText {
  public:
    explicit CatalogueText(uint32_t number);
    CatalogueText(const CatalogueText &) = delete;
    CatalogueText &operator=(const CatalogueText &) = delete;
    ~CatalogueText() { RDStreamDataFree(&converted_); }
    std::string_view View() const { return view_; }
    uint32_t Status() const { return status_; }

  private:
    char buffer_[RDRES_TEXT_SIZE + 4]; // room for a stream's terminator
    RDStream converted_{};
    std::string_view view_;
    uint32_t status_ = 0;
};

// A stream's text in character set 256: empty for a null or empty stream or
// one that cannot be converted; Status() is 258 when memory ran out.
class StreamText {
  public:
    StreamText() = default;
    explicit StreamText(const RDStream *stream) { Load(stream); }
    StreamText(const StreamText &) = delete;
    StreamText &operator=(const StreamText &) = delete;
    ~StreamText() { RDStreamDataFree(&converted_); }
    void Load(const RDStream *stream);
    std::string_view View() const { return view_; }
    uint32_t Status() const { return status_; }

  private:
    RDStream converted_{};
    std::string_view view_;
    uint32_t status_ = 0;
};

// A number as the markup I writes it: decimal from -65535 to 65535 (read as
// a signed 32-bit value), else hexadecimal with "0x". Returns the length
// written into text (at most 11 bytes).
std::size_t WriteNumber(uint32_t number, char (&text)[12]);

} // namespace rdx
