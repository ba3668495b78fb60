// The resume mark of a target connection (see connector_resume.h): the name
// of the copy, the text stored for it, and whether a text set since waits to
// be stored with the next commit.
#pragma once

#include "connector_log.h"

#include <cstdint>
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
    // What the target holds: read at connect, or just stored.
    void Loaded(std::string text) {
        text_ = std::move(text);
        pending_ = false;
    }
    void Stored() { pending_ = false; }

    // MarkName and Mark as properties; 12555 for other numbers. A text
    // beyond its bound fails through log.
    uint32_t SetProperty(uint32_t index, uint32_t field, FailureLog &log);
    uint32_t GetProperty(uint32_t index, uint32_t field) const;

  private:
    std::string name_, text_;
    bool pending_ = false;
};

} // namespace rdxc
