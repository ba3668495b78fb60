// SPDX-License-Identifier: Apache-2.0
#include "copy_home.h"

#include "child.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace rdx {

namespace {

std::string RealPath(const std::string &path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : "";
}

bool Exists(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// The program's own words, or the reason it could not run.
std::string Told(const std::string &output, const std::string &error) {
    std::string text = output.empty() ? error : output;
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

} // namespace

std::string DefaultCopyHome() {
    const char *state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/rdx/copy";
    const char *user = std::getenv("HOME");
    if (user != nullptr && user[0] == '/') return std::string(user) + "/.local/state/rdx/copy";
    return "";
}

int Rdcsm(const std::string &home, const std::vector<std::string> &args, std::string &output) {
    std::vector<std::string> argv = {ProgramPath("rdcsm"), "-c", home};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string error;
    const int status = RunProgram(argv, &output, error);
    if (status < 0) output = error;
    return status;
}

bool PrepareHome(const std::string &folder, std::string &home, std::string &error) {
    const std::string wanted = folder.empty() ? DefaultCopyHome() : folder;
    if (wanted.empty()) {
        error = "neither XDG_STATE_HOME nor HOME is set; name the home with --home DIR";
        return false;
    }
    if (!Exists(wanted + "/quarry.ini")) {
        std::string output, failure;
        const int status = RunProgram({ProgramPath("rdcsm"), "init", wanted}, &output, failure);
        if (status != 0) {
            error = "cannot set up the home " + wanted + ": " + Told(output, failure);
            return false;
        }
    }
    home = RealPath(wanted);
    if (home.empty()) error = "cannot find the home " + wanted;
    return !home.empty();
}

bool EnsureServer(const std::string &home, std::string &error) {
    std::string output;
    if (Rdcsm(home, {"status"}, output) == 0) return true;
    output.clear();
    if (Rdcsm(home, {"serve", "--detach"}, output) == 0) return true;
    error = "cannot start the server manager of " + home + ": " + Told(output, "");
    return false;
}

} // namespace rdx
