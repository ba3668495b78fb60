// SPDX-License-Identifier: Apache-2.0
#include "json_lines.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <zlib.h>

namespace rdjson {
namespace {

constexpr size_t kBlock = 1u << 20;
// What is kept of a line too long to hold, for the rejects.
constexpr size_t kHeadKeep = 64u << 10;

gzFile File(void *file) {
    return static_cast<gzFile>(file);
}

} // namespace

LineReader::LineReader(size_t maxLine) : maxLine_(maxLine) {}

LineReader::~LineReader() {
    if (file_ != nullptr) gzclose_r(File(file_));
}

bool LineReader::Open(const std::string &path, std::string &error) {
    gzFile file = gzopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "the file " + path + " cannot be opened: " + std::strerror(errno);
        return false;
    }
    gzbuffer(file, 256u << 10);
    file_ = file;
    buffer_.assign(kBlock + kPadding, 0);
    if (Rewind()) return true;
    error = "the file " + path + " cannot be read: " + error_;
    return false;
}

void LineReader::Reset(uint64_t offset) {
    bufferOffset_ = offset;
    pos_ = scan_ = end_ = 0;
    eof_ = unended_ = false;
    line_ = {};
    longHead_.clear();
}

bool LineReader::Rewind() {
    if (gzrewind(File(file_)) != 0) {
        error_ = "the file cannot be read from its start again";
        return false;
    }
    Reset(0);
    nextLine_ = 1;
    lineNumber_ = 0;
    while (end_ < 3 && !eof_) {
        if (!Fill()) return false;
    }
    firstOffset_ = end_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    pos_ = scan_ = firstOffset_;
    return true;
}

bool LineReader::Seek(uint64_t offset, uint64_t line) {
    if (offset < firstOffset_) return false;
    if (offset == firstOffset_) {
        if (!Rewind()) return false;
        nextLine_ = line;
        return true;
    }
    if (offset - 1 > static_cast<uint64_t>(LONG_MAX)) return false;
    const z_off_t before = static_cast<z_off_t>(offset - 1);
    if (gzseek(File(file_), before, SEEK_SET) != before) return false;
    // A line starts after a line end, and the end of the file after the
    // last line, also one without a line end.
    char byte = 0, next = 0;
    if (gzread(File(file_), &byte, 1) != 1) return false;
    if (byte != '\n' && gzread(File(file_), &next, 1) != 0) return false;
    Reset(offset);
    nextLine_ = line;
    return true;
}

size_t LineReader::Room() const {
    return buffer_.size() - static_cast<size_t>(line_.data() - buffer_.data());
}

std::string LineReader::Head(size_t most) const {
    if (!longHead_.empty()) return longHead_.substr(0, most);
    return std::string(line_.data(), std::min(most, line_.size() + lineEnd_));
}

// Moves what is left to the buffer's start, grows it when full, and reads
// the next block; eof_ at the end of the file.
bool LineReader::Fill() {
    if (pos_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        bufferOffset_ += pos_;
        end_ -= pos_;
        scan_ -= pos_;
        pos_ = 0;
    }
    if (end_ + kPadding + kBlock / 2 > buffer_.size()) {
        const size_t most = maxLine_ + 1 + kBlock + kPadding;
        buffer_.resize(std::min(most, std::max(buffer_.size() * 2, end_ + kBlock + kPadding)));
    }
    const size_t room = std::min<size_t>(buffer_.size() - kPadding - end_, INT_MAX);
    const int n = gzread(File(file_), buffer_.data() + end_, static_cast<unsigned>(room));
    if (n < 0) {
        int code = 0;
        const char *why = gzerror(File(file_), &code);
        error_ = code == Z_ERRNO ? std::strerror(errno) : why;
        return false;
    }
    if (n == 0) {
        int code = 0;
        const char *why = gzerror(File(file_), &code);
        if (code != Z_OK && code != Z_BUF_ERROR) {
            error_ = code == Z_ERRNO ? std::strerror(errno) : why;
            return false;
        }
        if (code == Z_BUF_ERROR) {
            error_ = "the compressed data ends early (the file is cut short)";
            return false;
        }
        eof_ = true;
    }
    end_ += static_cast<size_t>(n);
    return true;
}

LineReader::Result LineReader::Next() {
    unended_ = false;
    line_ = {};
    lineEnd_ = 0;
    longHead_.clear();
    for (;;) {
        const char *base = buffer_.data();
        if (const void *found = std::memchr(base + scan_, '\n', end_ - scan_)) {
            const size_t stop = static_cast<size_t>(static_cast<const char *>(found) - base);
            lineNumber_ = nextLine_++;
            if (stop - pos_ > maxLine_) {
                longHead_.assign(base + pos_, std::min(kHeadKeep, stop - pos_));
                pos_ = scan_ = stop + 1;
                return Result::TooLong;
            }
            size_t length = stop - pos_;
            if (length > 0 && base[pos_ + length - 1] == '\r') --length;
            line_ = std::string_view(base + pos_, length);
            lineEnd_ = stop + 1 - pos_ - length;
            pos_ = scan_ = stop + 1;
            return Result::Line;
        }
        scan_ = end_;
        if (end_ - pos_ > maxLine_) return SkipLong();
        if (eof_) {
            if (pos_ == end_) return Result::End;
            lineNumber_ = nextLine_++;
            size_t length = end_ - pos_;
            if (base[pos_ + length - 1] == '\r') --length;
            line_ = std::string_view(base + pos_, length);
            lineEnd_ = end_ - pos_ - length;
            pos_ = scan_ = end_;
            unended_ = true;
            return Result::Line;
        }
        if (!Fill()) return Result::Error;
    }
}

// Keeps the line's first bytes and reads on to its end, holding nothing.
LineReader::Result LineReader::SkipLong() {
    lineNumber_ = nextLine_++;
    std::string head(buffer_.data() + pos_, std::min(kHeadKeep, end_ - pos_));
    for (;;) {
        pos_ = scan_ = end_;
        if (eof_) break;
        if (!Fill()) return Result::Error;
        if (const void *found = std::memchr(buffer_.data(), '\n', end_)) {
            pos_ = scan_ =
                static_cast<size_t>(static_cast<const char *>(found) - buffer_.data()) + 1;
            break;
        }
    }
    longHead_ = std::move(head);
    return Result::TooLong;
}

} // namespace rdjson
