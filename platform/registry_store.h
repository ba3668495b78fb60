// SPDX-License-Identifier: Apache-2.0
// Where the registry file lives and how it is read and replaced. Readers
// take no lock: a change is written to a temporary file and renamed over the
// old one, so a reader always sees one whole version. Writers serialise on
// an exclusive flock of a separate lock file, which keeps its inode across
// the renames.
#pragma once

#include <string>

namespace rdplat::registry {

// $RD_REGISTRY, else $HOME/.config/rdx/registry; empty when neither can be
// formed.
std::string RegistryPath();

enum class LoadResult { Loaded, Missing, Failed };

// Reads the whole file into text (left empty when the file is missing).
LoadResult LoadFile(const std::string &path, std::string &text);

// Holds the writers' lock of one registry file for its lifetime. Creates the
// file's folder (and its parents) when missing.
class WriteLock {
  public:
    explicit WriteLock(const std::string &path);
    ~WriteLock();
    WriteLock(const WriteLock &) = delete;
    WriteLock &operator=(const WriteLock &) = delete;
    bool Held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// Writes text to path + ".tmp", flushes it to disk and renames it over path.
// On failure the temporary file is removed and path is left as it was.
bool ReplaceFile(const std::string &path, const std::string &text);

} // namespace rdplat::registry
