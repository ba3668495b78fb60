// SPDX-License-Identifier: Apache-2.0
// A connection of the copy, disconnected and freed when it goes.
#pragma once

#include <cstdint>
#include <string>

namespace rdcopy {

// Built-in connection properties every link connector of this project
// understands: the object (table) worked on and the select text.
constexpr uint32_t kMetadata = 0x10005, kCondition = 0x1000B;

class Connection {
  public:
    Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection();

    // Allocates a connection of the link described under `link` and, when
    // `number` is not 0 and `value` not empty, sets that text property.
    uint32_t Open(const std::string &link, uint32_t number, const std::string &value);
    uint32_t handle() const { return handle_; }

    // Whether the link's connector declares the property (asked before
    // using an optional one, so that a connector without it logs nothing).
    bool Declares(uint32_t number) const;
    // The number of the property the connector declares by name (letter
    // case ignored), 0 when it declares none.
    uint32_t NumberOf(const std::string &name) const;
    // The connector's own text of its last failure (its LastError
    // property), or the last log entry's text where it has none.
    std::string LastError() const;
    uint32_t SetText(uint32_t number, const std::string &value) const;
    uint32_t GetText(uint32_t number, std::string &value) const;

  private:
    uint32_t handle_ = 0;
    mutable uint32_t lastError_ = UINT32_MAX; // its number once looked up
};

// One field list of `records` records, freed when it goes.
class FieldList {
  public:
    FieldList() = default;
    FieldList(const FieldList &) = delete;
    FieldList &operator=(const FieldList &) = delete;
    ~FieldList();
    uint32_t Alloc(uint32_t records);
    // A second list of source's layout and size.
    uint32_t CopyOf(uint32_t source);
    uint32_t handle() const { return handle_; }

  private:
    uint32_t handle_ = 0;
};

} // namespace rdcopy
