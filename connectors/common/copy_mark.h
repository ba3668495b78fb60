// SPDX-License-Identifier: Apache-2.0
// The resume mark of a target connection (see connector_resume.h): the name
// of the copy, the text stored for it, and whether a text set since waits to
// be stored with the next commit.
//
// A store is a compare-and-set: it replaces the stored text only while the
// target still holds the one this connection last read or stored (Held),
// and inserts the first mark of a name only while the target holds none.
// Two runs of one copy (a run taken over by another machine while the
// first still writes) both read the same mark; the first to commit a batch
// changes it, and the other's batches are refused instead of writing the
// same records a second time.
#pragma once

#include "connector_log.h"

#include <cstdint>
#include <optional>
#include <string>

namespace rdxc {

class CopyMark {
  public:
    // Bounds of the texts, which the connectors keep in tables and files.
    static constexpr size_t kMostName = 1024;
    static constexpr size_t kMostText = 64 * 1024;

    bool Active() const { return !name_.empty(); }
    const std::string &Name() const { return name_; }
    const std::string &Text() const { return text_; }
    // A text set that no commit has stored yet (only with a name).
    bool Pending() const { return Active() && pending_; }
    // Stored with the next commit.
    void Set(std::string text) {
        text_ = std::move(text);
        pending_ = true;
    }
    // Before a connect reads the mark: nothing known, nothing held.
    void Forget() {
        text_.clear();
        held_.reset();
        pending_ = false;
    }
    // What the target holds for the name, read at connect: the text also
    // becomes the mark.
    void Loaded(std::string text) {
        held_ = text;
        text_ = std::move(text);
        pending_ = false;
    }
    // A stored text that no longer counts (its table or file is gone): the
    // mark reads as empty, but a store still replaces exactly this text.
    void HeldOnly(std::string stored) { held_ = std::move(stored); }
    // After the commit that stored the pending text.
    void Stored() {
        if (pending_) held_ = text_;
        pending_ = false;
    }
    // The text a store must find in place; none when the target held no
    // mark for the name.
    const std::optional<std::string> &Held() const { return held_; }
    // The failure text of a store that found another text in place: what
    // names where the records go (a table, a file), `notWritten` what this
    // connection therefore did not write ("batch").
    std::string Conflict(const std::string &where, const std::string &notWritten) const;

    // MarkName and Mark as properties; 12555 for other numbers. A text
    // beyond its bound fails through log.
    uint32_t SetProperty(uint32_t index, uint32_t field, FailureLog &log);
    uint32_t GetProperty(uint32_t index, uint32_t field) const;

  private:
    std::string name_, text_;
    std::optional<std::string> held_;
    bool pending_ = false;
};

} // namespace rdxc
