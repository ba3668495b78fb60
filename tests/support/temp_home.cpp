// SPDX-License-Identifier: Apache-2.0
#include "temp_home.h"

#include "rdplat.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rdtest {

namespace {

std::string SaveEnv(const char *name, bool &had) {
    const char *value = std::getenv(name);
    had = value != nullptr;
    return had ? value : "";
}

void RestoreEnv(const char *name, bool had, const std::string &value) {
    if (had)
        setenv(name, value.c_str(), 1);
    else
        unsetenv(name);
}

} // namespace

TempHome::TempHome() {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/rdtest.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    dir_ = pattern + "/";
    char cwd[4096];
    oldCwd_ = getcwd(cwd, sizeof cwd) != nullptr ? cwd : "/";
    oldRegistry_ = SaveEnv("RD_REGISTRY", hadRegistry_);
    oldPipeDir_ = SaveEnv("RD_PIPE_DIR", hadPipeDir_);
    setenv("RD_REGISTRY", Path("registry").c_str(), 1);
    std::string pipes = Path("pipes");
    mkdir(pipes.c_str(), 0700);
    setenv("RD_PIPE_DIR", pipes.c_str(), 1);
}

TempHome::~TempHome() {
    RDPlatTerm();
    if (chdir(oldCwd_.c_str()) != 0) ADD_FAILURE() << "cannot return to " << oldCwd_;
    RestoreEnv("RD_REGISTRY", hadRegistry_, oldRegistry_);
    RestoreEnv("RD_PIPE_DIR", hadPipeDir_, oldPipeDir_);
    Shell("chmod -R u+rwx '" + dir_ + "' 2>/dev/null; rm -rf '" + dir_ + "'");
}

void TempHome::WriteQuarryIni() const {
    WriteFile(Path("quarry.ini"), "[Configuration]\nDirectory=" + dir_ + "\n");
}

unsigned TempHome::StartPlatform() const {
    WriteQuarryIni();
    if (chdir(dir_.c_str()) != 0) ADD_FAILURE() << "cannot enter " << dir_;
    return RDPlatInit(nullptr);
}

void WriteFile(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool FileExists(const std::string &path) {
    return access(path.c_str(), F_OK) == 0;
}

int Shell(const std::string &command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ScopedEnv::ScopedEnv(const char *name, const char *value) : name_(name) {
    if (const char *old = std::getenv(name)) old_ = old;
    Set(value);
}

ScopedEnv::~ScopedEnv() {
    Set(old_ ? old_->c_str() : nullptr);
}

void ScopedEnv::Set(const char *value) const {
    value != nullptr ? setenv(name_.c_str(), value, 1) : unsetenv(name_.c_str());
}

pid_t Spawn(const std::function<int()> &body) {
    pid_t child = fork();
    if (child == 0) _exit(body());
    return child;
}

int WaitExit(pid_t child) {
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)
               ? WEXITSTATUS(status)
               : -1;
}

int Ended(pid_t child) {
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void LimitFileSize(long bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    setrlimit(RLIMIT_FSIZE, &limit);
}

} // namespace rdtest
