// The progress of a running copy on a terminal (one line redrawn, with a
// bar when the number of records is known) or as plain lines.
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
    Progress(std::FILE *out, bool terminal);
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
    bool drawn_ = false;
    double lastLine_ = 0;
    std::chrono::steady_clock::time_point start_;
};

} // namespace rdrun
