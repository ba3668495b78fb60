// SPDX-License-Identifier: Apache-2.0
// A file system of a few KiB (tmpfs) mounted on a folder for one test, to
// fill up or to make read only; tests skip where mounting is not allowed.
#pragma once

#include <string>
#include <sys/mount.h>
#include <sys/stat.h>

namespace connectortest {

class SmallDisk {
  public:
    SmallDisk(const std::string &folder, const std::string &size)
        : folder_(folder), options_("size=" + size) {
        ::mkdir(folder.c_str(), 0700);
        mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options_.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool Mounted() const { return mounted_; }
    std::string Path(const std::string &name) const { return folder_ + "/" + name; }
    // Mounts it again read only: its files stay, none can be written.
    bool MakeReadOnly() {
        return ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                       options_.c_str()) == 0;
    }

  private:
    std::string folder_, options_;
    bool mounted_ = false;
};

} // namespace connectortest
