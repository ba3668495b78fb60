// SPDX-License-Identifier: Apache-2.0
// Files the connector writes or trusts (the target of inserts and its side
// file of marks) in a folder others may write to: a name there may be a
// link planted to make the copy append to, cut or create another file, or
// a file of another user laid out for the copy to adopt. Such files are
// opened without following a link at the end of the path, and kept only
// when they are regular files of the user running the copy (the effective
// user) with no other name. New files get mode 0666 less the umask, as
// data files made by other programs do.
#pragma once

#include <string>

namespace rdxc {

// A descriptor closed at the end of its scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor &operator=(FileDescriptor &&other) noexcept;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

// Opens path with flags (O_RDONLY, O_WRONLY or O_RDWR, with O_APPEND,
// O_CREAT or O_EXCL) as above. On failure the descriptor is empty, error
// ("the file PATH ...") names the path and why, and missing tells that nothing is there (only
// without O_CREAT).
FileDescriptor OpenOwnFile(const std::string &path, int flags, std::string &error,
                           bool *missing = nullptr);

} // namespace rdxc
