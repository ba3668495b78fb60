// SPDX-License-Identifier: Apache-2.0
// The progress of a running copy on a terminal (one line redrawn, with a
// bar when the number of records is known) or as plain lines. When the
// source is a file, the line tells the share of it read and the time left:
// "412,000 read, 412,000 written, 38%, about 1 min left, ...".
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace rdrun {

// Words of the statistics record: record counts of select, fetch, insert
// and update.
constexpr int kSelectRecords = 13, kFetchRecords = 14, kInsertRecords = 15, kUpdateRecords = 16;

class Progress {
  public:
    // Plain lines come at most every plainSeconds.
    Progress(std::FILE *out, bool terminal, double plainSeconds = 5.0);
    // Shows the live statistics; plain lines at most every few seconds.
    void Update(const uint32_t *statistics);
    // Shows the final statistics (always, also as a plain line) and ends
    // the redrawn line.
    void Finish(const uint32_t *statistics);

  private:
    double Seconds() const;
    void Show(const uint32_t *statistics, double seconds);

    std::FILE *out_;
    bool terminal_;
    double plainSeconds_;
    bool drawn_ = false;
    double lastLine_ = 0;
    std::chrono::steady_clock::time_point start_;
};

} // namespace rdrun
