// SPDX-License-Identifier: Apache-2.0
// A temporary home directory for one test: its own folder, registry file and
// pipe folder, so that no test touches the user's real ones. The destructor
// ends the platform, restores the environment and the current directory, and
// removes the folder.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>

namespace rdtest {

class TempHome {
  public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    // The folder, ending with '/'.
    const std::string &Dir() const { return dir_; }
    // Dir() + name.
    std::string Path(const std::string &name) const { return dir_ + name; }

    // Writes a quarry.ini into the folder whose "Directory" names the folder.
    void WriteQuarryIni() const;

    // Writes the quarry.ini, makes the folder the current directory and
    // starts the platform there; returns RDPlatInit's status. The home
    // directory is then Dir().
    unsigned StartPlatform() const;

  private:
    std::string dir_;
    std::string oldCwd_;
    std::string oldRegistry_, oldPipeDir_;
    bool hadRegistry_ = false, hadPipeDir_ = false;
};

// Whole-file helpers for tests.
void WriteFile(const std::string &path, const std::string &content);
std::string ReadFile(const std::string &path);
bool FileExists(const std::string &path);

// Runs a shell command and returns its exit status.
int Shell(const std::string &command);

// Sets an environment variable (unsets it for null) until the end of the scope.
class ScopedEnv {
  public:
    ScopedEnv(const char *name, const char *value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;
    void Set(const char *value) const;

  private:
    std::string name_;
    std::optional<std::string> old_;
};

// Forks a child that runs body and exits with its result.
pid_t Spawn(const std::function<int()> &body);
// The exit status of child; -1 when it did not exit normally.
int WaitExit(pid_t child);
// The exit status of child, or 128 + the signal that ended it; -1 when it
// cannot be waited for.
int Ended(pid_t child);
inline int InChild(const std::function<int()> &body) {
    return WaitExit(Spawn(body));
}
// For a child: files may not grow past bytes, and writes beyond fail instead of signalling.
void LimitFileSize(long bytes);

} // namespace rdtest
