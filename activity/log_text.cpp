// SPDX-License-Identifier: Apache-2.0
// Growth of log text buffers and cutting at character boundaries.
#include "activity/log_text.h"

#include "rdplat_mem.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace rdx {

namespace {

// The largest text a buffer grows to: its length must fit an RDStream and
// an RDMemAlloc request with room for the stream's terminator.
constexpr std::size_t kMaxText = std::numeric_limits<int32_t>::max() / 2;

bool IsContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

} // namespace

TextBuffer::~TextBuffer() {
    if (data_ != inline_) RDMemFree(data_);
}

void TextBuffer::AppendGrowing(std::string_view text) {
    if (failed_) return;
    if (text.size() > kMaxText - size_) {
        failed_ = true;
        return;
    }
    std::size_t capacity = capacity_;
    while (capacity - size_ < text.size())
        capacity = capacity > kMaxText / 2 ? kMaxText : capacity * 2;
    char *grown = static_cast<char *>(RDMemAlloc(static_cast<int32_t>(capacity)));
    if (grown == nullptr) {
        failed_ = true;
        return;
    }
    std::memcpy(grown, data_, size_);
    if (data_ != inline_) RDMemFree(data_);
    data_ = grown;
    capacity_ = capacity;
    std::memcpy(data_ + size_, text.data(), text.size());
    size_ += text.size();
}

std::string_view CutAtCharacter(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t length = limit;
    while (length > 0 && IsContinuation(text[length])) // text[length] starts the cut-off part
        --length;
    return text.substr(0, length);
}

} // namespace rdx
