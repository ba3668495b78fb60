// SPDX-License-Identifier: Apache-2.0
// A growing byte buffer for the texts of log entries: the first kilobyte is
// inline, more comes from the heap. An allocation failure is remembered and
// later appends are dropped, so a caller checks Failed() once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace rdx {

class TextBuffer {
  public:
    TextBuffer() = default;
    TextBuffer(const TextBuffer &) = delete;
    TextBuffer &operator=(const TextBuffer &) = delete;
    ~TextBuffer();

    void Append(std::string_view text) {
        if (text.empty()) return; // an empty view may have no address
        if (text.size() <= capacity_ - size_) {
            __builtin_memcpy(data_ + size_, text.data(), text.size());
            size_ += text.size();
        } else {
            AppendGrowing(text);
        }
    }
    // Cuts the text back to length bytes (no longer than it is).
    void Cut(std::size_t length) {
        if (length < size_) size_ = length;
    }
    std::size_t Size() const { return size_; }
    std::string_view View() const { return {data_, size_}; }
    bool Failed() const { return failed_; }

  private:
    void AppendGrowing(std::string_view text);

    char inline_[1024];
    char *data_ = inline_;
    std::size_t size_ = 0;
    std::size_t capacity_ = sizeof inline_;
    bool failed_ = false;
};

// The longest start of text, at most limit bytes, that does not end inside
// a UTF-8 character.
std::string_view CutAtCharacter(std::string_view text, std::size_t limit);

} // namespace rdx
