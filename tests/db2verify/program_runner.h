// Runs a program with its standard input fed from a text and its standard output captured.
#pragma once

#include <string>
#include <vector>

namespace db2test {

struct ProgramResult {
    int exitStatus = -1; // -1 when the program did not exit normally
    bool timedOut = false;
    std::string output;
};

// Runs path with the current environment plus the NAME=value entries of extraEnv (which
// replace same-named ones). A program still running after 20 seconds is killed.
ProgramResult RunProgram(const std::string &path, const std::string &input,
                         const std::vector<std::string> &extraEnv);

// A temporary folder, removed with its contents at the end of its scope.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &Path() const { return path_; }
    std::string Write(const std::string &name, const std::string &text) const;
    std::string Read(const std::string &name) const;

  private:
    std::string path_;
};

} // namespace db2test
