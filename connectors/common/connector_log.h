// Failures of a connector's operations: the text naming what went wrong goes
// to the activity's log as a free-text record and is kept for the connection
// (readable as a property), and the operation returns the free-text status.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rdxc {

// Logs text as information (never the activity's status).
void LogInformation(const std::string &text);

class FailureLog {
  public:
    // Logs text with detail (a status of the library, or 0) shown beside it
    // and returns RDSTATUS_FREETEXT. Without an activity nothing is logged,
    // but the text is still kept and the same status returned.
    uint32_t Fail(std::string text, uint32_t detail = 0);
    // Keeps text without logging it, for a status that the library logs
    // itself with its own message; returns status.
    uint32_t Keep(std::string text, uint32_t status) {
        last_ = std::move(text);
        return status;
    }
    const std::string &Last() const { return last_; }
    void Clear() { last_.clear(); }

  private:
    std::string last_;
};

} // namespace rdxc
