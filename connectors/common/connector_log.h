// SPDX-License-Identifier: Apache-2.0
// Failures of a connector's operations: the text naming what went wrong goes
// to the activity's log as a free-text record and is kept for the connection
// (readable as a property), and the operation returns the free-text status.
// The connection's passwords are hidden in every text first, since a
// driver's message may echo its connection text.
#pragma once

#include "rdx_status.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rdxc {

// Logs text as information (never the activity's status).
void LogInformation(const std::string &text);

class FailureLog {
  public:
    // Logs text with detail (a status of the library, or 0) shown beside it
    // and returns RDSTATUS_FREETEXT. Without an activity nothing is logged,
    // but the text is still kept and the same status returned.
    uint32_t Fail(std::string text, uint32_t detail = 0);
    // The same for a fault of one record (a value that does not convert, a
    // row a constraint refuses): returns RDSTATUS_RECORDFAULT, the one
    // status that a copy may skip past. Everything else that fails (space,
    // permission, connection, layout) is Fail.
    uint32_t RecordFault(std::string text, uint32_t detail = 0) {
        Fail(std::move(text), detail);
        return RDSTATUS_RECORDFAULT;
    }
    // Keeps text without logging it, for a status that the library logs
    // itself with its own message; returns status.
    uint32_t Keep(std::string text, uint32_t status) {
        last_ = Hidden(std::move(text));
        return status;
    }
    // Logs text as information, the passwords hidden.
    void Inform(std::string text) const;
    const std::string &Last() const { return last_; }
    void Clear() { last_.clear(); }
    // The passwords to hide in the texts from now on (secret_mask.h).
    void SetSecrets(std::vector<std::string> secrets) { secrets_ = std::move(secrets); }

  private:
    std::string Hidden(std::string text) const;

    std::string last_;
    std::vector<std::string> secrets_;
};

} // namespace rdxc
