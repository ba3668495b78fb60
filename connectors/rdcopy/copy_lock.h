// SPDX-License-Identifier: Apache-2.0
// One run at a time of a copy into its target on this machine. A run that
// lost its server manager goes on to its end; a second run of the same copy
// started meanwhile would read from the same mark and write the same
// records again. The lock is an flock on a file named by a hash of the
// copy's name and its target, released by the system when the process
// ends, however it ends.
#pragma once

#include <string>

namespace rdcopy {

class CopyLock {
  public:
    CopyLock() = default;
    CopyLock(const CopyLock &) = delete;
    CopyLock &operator=(const CopyLock &) = delete;
    ~CopyLock();

    // Takes the lock of the copy `name` into `target`. False with `busy` set
    // when another process holds it; false with `error` set when the lock
    // file cannot be made.
    bool Take(const std::string &name, const std::string &target, bool &busy, std::string &error);

  private:
    int fd_ = -1;
};

} // namespace rdcopy
