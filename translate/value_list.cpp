// SPDX-License-Identifier: Apache-2.0
// The layout and the text of number and datetime lists; the values
// themselves are formatted and parsed by the functions of each kind.
#include "translate/value_list.h"

#include "rdx_status.h"
#include "translate/list_bytes.h"
#include "values/stream_internal.h"

#include <cstring>
#include <new>
#include <vector>

namespace rdx::valuelist {
namespace {

constexpr uint32_t kHeader = 4;
constexpr uint32_t kLargestCount = 0xFFFF;

// Blanks are tested among the 7-bit characters only. A line feed separates
// items: skipping it as a blank would take the next item's first character
// for the separator.
bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r' && c != '\n');
}

bool EndsItem(char c) {
    return c == '-' || c == ',' || c == ';' || c == '\n';
}

struct Item {
    uint8_t bytes[kItemSize];
};

struct Parsed {
    std::vector<Item> singles, ranges; // ranges: low, high, low, high, ...
};

class ItemReader {
  public:
    ItemReader(std::string_view text, ParseItem parse, bool exponents)
        : text_(text), parse_(parse), exponents_(exponents) {}
    bool AtEnd() const { return at_ >= text_.size(); }
    char Peek() const { return text_[at_]; }
    void Step() { ++at_; }
    void SkipBlanks() {
        while (!AtEnd() && IsBlank(Peek()))
            ++at_;
    }
    // The item up to the next separator, and the blanks after it.
    uint32_t Next(Item *item) {
        SkipBlanks();
        const size_t start = at_;
        while (!AtEnd() && (!EndsItem(Peek()) || ExponentSign()))
            ++at_;
        const uint32_t status = parse_(text_.substr(start, at_ - start), item->bytes);
        SkipBlanks();
        return status;
    }

  private:
    // A '-' after the exponent mark of a number (5e-002, as numbers are
    // written) belongs to the number, not to a range.
    bool ExponentSign() const {
        if (!exponents_ || Peek() != '-' || at_ < 2) return false;
        const char mark = text_[at_ - 1], before = text_[at_ - 2];
        return (mark == 'e' || mark == 'E') && ((before >= '0' && before <= '9') || before == '.');
    }

    std::string_view text_;
    ParseItem parse_;
    bool exponents_;
    size_t at_ = 0;
};

uint32_t Parse(std::string_view text, ParseItem parse, bool exponents, Parsed *parsed) {
    ItemReader reader(text, parse, exponents);
    for (reader.SkipBlanks(); !reader.AtEnd(); reader.SkipBlanks()) {
        Item low{}, high{};
        if (uint32_t status = reader.Next(&low); status != RDSTATUS_OK) return status;
        if (!reader.AtEnd() && reader.Peek() == '-') {
            reader.Step();
            if (uint32_t status = reader.Next(&high); status != RDSTATUS_OK) return status;
            parsed->ranges.push_back(low);
            parsed->ranges.push_back(high);
        } else {
            parsed->singles.push_back(low);
        }
        if (!reader.AtEnd()) reader.Step(); // one separator
    }
    return RDSTATUS_OK;
}

uint32_t Write(const Parsed &parsed, RDStream *list) {
    const size_t singles = parsed.singles.size(), ranges = parsed.ranges.size() / 2;
    if (singles > kLargestCount || ranges > kLargestCount) return RDSTATUS_NOFIT;
    const uint64_t needed = kHeader + (singles + 2 * ranges) * uint64_t{kItemSize};
    if (needed > kLargestLength) return RDSTATUS_NOMEMORY;
    auto length = static_cast<uint32_t>(needed);
    if (uint32_t status = StreamDataSize(*list, &length); status != RDSTATUS_OK) return status;
    if (length != needed) return RDSTATUS_NOFIT; // a cut list would be malformed
    uint8_t *out = list->data;
    Write16(out, static_cast<uint32_t>(singles));
    Write16(out + 2, static_cast<uint32_t>(ranges));
    out += kHeader;
    for (const std::vector<Item> *items : {&parsed.singles, &parsed.ranges})
        for (const Item &item : *items) {
            std::memcpy(out, item.bytes, kItemSize);
            out += kItemSize;
        }
    return RDSTATUS_OK;
}

} // namespace

uint32_t ListToText(const RDStream &list, FormatItem format, RDStream *text) {
    text->charset = RDCHARSET_INTERCHANGE;
    const uint8_t *data = list.data;
    const bool empty = data == nullptr || list.length < kHeader;
    const uint32_t singles = empty ? 0 : Read16(data), ranges = empty ? 0 : Read16(data + 2);
    // Every value must lie inside the data.
    if (kHeader + (singles + 2 * uint64_t{ranges}) * kItemSize > list.length && !empty &&
        (singles != 0 || ranges != 0))
        return RDSTATUS_NOFIT;
    std::string out;
    try {
        const uint8_t *item = data + (empty ? 0 : kHeader);
        for (uint32_t i = 0; i < singles + ranges; ++i) {
            if (i != 0) out += ", ";
            if (uint32_t status = format(item, &out); status != RDSTATUS_OK) return status;
            item += kItemSize;
            if (i < singles) continue;
            out += " - ";
            if (uint32_t status = format(item, &out); status != RDSTATUS_OK) return status;
            item += kItemSize;
        }
    } catch (const std::bad_alloc &) {
        return RDSTATUS_NOMEMORY;
    }
    if (out.size() > kLargestLength) return RDSTATUS_NOMEMORY;
    auto length = static_cast<uint32_t>(out.size());
    const uint32_t status = StreamDataSize(*text, &length);
    if (status == RDSTATUS_OK && length != 0) std::memcpy(text->data, out.data(), length);
    return status;
}

uint32_t TextToList(const RDStream &text, ParseItem parse, bool exponents, RDStream *list) {
    const uint8_t *data = text.data != nullptr ? text.data : EmptyStreamData();
    try {
        Parsed parsed;
        const std::string_view view(reinterpret_cast<const char *>(data), text.length);
        const uint32_t status = Parse(view, parse, exponents, &parsed);
        return status != RDSTATUS_OK ? status : Write(parsed, list);
    } catch (const std::bad_alloc &) {
        return RDSTATUS_NOMEMORY;
    }
}

} // namespace rdx::valuelist
