// SPDX-License-Identifier: Apache-2.0
// Description items as they travel and as they are stored: packed headers
// (type, character set, number, size) each followed by its value. The stored
// description is the items without the closing item.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace rdcsm {

struct Item {
    uint32_t type = 0;
    uint32_t charset = 0;
    uint32_t number = 0;
    std::string value; // the value bytes; a text's NUL included
};

inline constexpr std::size_t kItemHeader = 16;

// The exact value size of a scalar type, 0 for the texts (6, 7) and for an
// unknown type.
uint32_t ScalarSize(uint32_t type);

// Reads items from at until the closing item (type 0), never past bytes:
// false for an item that does not fit, an unknown type (not 1-7), a size its
// type cannot have, a text without its closing NUL, or a missing closing
// item (when closed is set; else the list may end with the bytes).
bool ParseItems(std::span<const uint8_t> bytes, std::size_t at, std::vector<Item> &items,
                bool closed = true);

// Whether a stored description (items without the closing item) holds an
// item of number; empty when the bytes are no such description.
std::optional<bool> HasItem(std::span<const uint8_t> stored, uint32_t number);

// The items packed one after another, without the closing item.
std::string PackItems(const std::vector<Item> &items);

// Puts each item of update into items: an item of the same number is
// replaced where it stands, others are added at the end.
void MergeItems(std::vector<Item> &items, const std::vector<Item> &update);

} // namespace rdcsm
