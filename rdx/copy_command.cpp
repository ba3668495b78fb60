// SPDX-License-Identifier: Apache-2.0
#include "copy_command.h"

#include "child.h"
#include "copy_home.h"
#include "copy_job.h"
#include "copy_options.h"
#include "endpoint.h"
#include "layout_request.h"
#include "usage.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdx {

namespace {

constexpr int kExitUsage = 64;
constexpr int kExitFailed = 1;

int Usage(const std::string &error) {
    std::fprintf(stderr, "rdx copy: %s\n", error.c_str());
    std::fprintf(stderr,
                 "SOURCE and TARGET take these forms:\n%s"
                 "Run `rdx copy --help` for the options.\n",
                 kEndpointForms);
    return kExitUsage;
}

int Failed(const std::string &error) {
    std::fprintf(stderr, "rdx copy: %s\n", error.c_str());
    return kExitFailed;
}

// Writes text to path, readable by the user only: it may hold passwords.
bool WritePrivate(const std::string &path, const std::string &text, std::string &error) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool done = fd >= 0 && fchmod(fd, 0600) == 0 &&
                write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0) done = close(fd) == 0 && done;
    if (!done) error = "cannot write " + path + ": " + std::strerror(errno);
    return done;
}

std::string AbsolutePath(const std::string &path) {
    char cwd[PATH_MAX];
    if (path.empty() || path[0] == '/' || getcwd(cwd, sizeof cwd) == nullptr) return path;
    return std::string(cwd) + "/" + path;
}

// define --check, then define unless only checking. Refused values are the
// command line's fault: usage status.
int Define(const std::string &home, const std::string &file, bool checkOnly) {
    std::string output;
    int status = Rdcsm(home, {"define", "--check", file}, output);
    if (status == 0 && !checkOnly) {
        output.clear();
        status = Rdcsm(home, {"define", file}, output);
    }
    if (status == 0) return 0;
    std::fputs(output.c_str(), stderr);
    return status == 1 ? kExitUsage : kExitFailed;
}

// The fields the source gives and the target's CREATE TABLE, by `rdrun
// --layout`, each line a TOML comment so that the output stays a job file.
int ShowLayout(const std::string &home, const CopyJob &job, const std::string &request) {
    const std::string file = home + "/" + job.name + ".layout";
    std::string error, output;
    if (!WritePrivate(file, request, error)) return Failed(error);
    const int status =
        RunProgram({ProgramPath("rdrun"), "-c", home, "--layout", file}, &output, error);
    unlink(file.c_str());
    if (status < 0) return Failed(error);
    if (status != 0) {
        std::fputs(output.c_str(), stderr);
        return kExitFailed;
    }
    std::string comments = "\n# What the copy would read and make (nothing was written):\n";
    for (size_t at = 0; at < output.size();) {
        const size_t end = output.find('\n', at);
        const size_t stop = end == std::string::npos ? output.size() : end;
        comments += "# " + output.substr(at, stop - at) + "\n";
        at = stop + 1;
    }
    std::fputs(comments.c_str(), stdout);
    return 0;
}

// Checks the job, reads the source's layout, and prints both; defines,
// creates and runs nothing.
int DryRun(const std::string &home, const CopyJob &job, const std::string &request) {
    const std::string file = home + "/" + job.name + ".check.toml";
    std::string error;
    if (!WritePrivate(file, job.text, error)) return Failed(error);
    const int status = Define(home, file, true);
    unlink(file.c_str());
    if (status != 0) return status;
    std::fputs(job.text.c_str(), stdout);
    std::fflush(stdout);
    return ShowLayout(home, job, request);
}

int Run(const std::string &home, const CopyJob &job, const CopyOptions &options) {
    const std::string file = home + "/" + job.name + ".toml";
    std::string error;
    if (!EnsureServer(home, error)) return Failed(error);
    if (!WritePrivate(file, job.text, error)) return Failed(error);
    if (const int status = Define(home, file, false); status != 0) return status;
    std::vector<std::string> argv = {ProgramPath("rdrun"), "-c", home};
    if (options.resume) argv.push_back("--resume");
    if (options.fullRefresh) argv.push_back("--full-refresh");
    argv.push_back(job.name);
    std::fflush(stdout);
    const int status = RunProgram(argv, nullptr, error);
    return status < 0 ? Failed(error) : status;
}

} // namespace

int RunCopy(const std::vector<std::string> &args) {
    CopyOptions options;
    std::string error;
    if (!ParseCopyOptions(args, options, error)) return Usage(error);
    if (options.help) {
        std::fputs(kCopyUsage, stdout);
        return 0;
    }
    Endpoint source, target;
    if (!ParseEndpoint(options.source, options.table, source, error) ||
        !ParseEndpoint(options.target, options.table, target, error))
        return Usage(error);
    options.rejects = AbsolutePath(options.rejects);
    CopyJob job;
    if (!BuildCopyJob(options, source, target, job, error)) return Usage(error);
    if (!options.save.empty())
        return WritePrivate(options.save, job.text, error) ? 0 : Failed(error);
    std::string request;
    if (options.dryRun && !LayoutRequest(options, source, job, request, error)) return Usage(error);
    std::string home;
    if (!PrepareHome(options.home, home, error)) return Failed(error);
    return options.dryRun ? DryRun(home, job, request) : Run(home, job, options);
}

} // namespace rdx
