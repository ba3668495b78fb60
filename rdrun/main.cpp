// SPDX-License-Identifier: Apache-2.0
// rdrun: runs one activity of the server manager in this process, as a host
// does, showing its progress, then its statistics and final status. The
// exit status is 0 only when the activity ended without a failure.
#include "host_run.h"
#include "layout.h"
#include "progress.h"
#include "report.h"
#include "resume.h"
#include "serve.h"
#include "signals.h"
#include "visible_text.h"

#include "rdplat.h"
#include "rdxapi.h"

#include <CLI/CLI.hpp>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr int kExitFailed = 1;
// Command-line errors (sysexits' EX_USAGE): 2 tells a run that ended with
// problems.
constexpr int kExitUsage = 64;
// How often the run is watched: a stop signal is passed on and the progress
// shown (which redraws and prints at its own pace).
constexpr unsigned kWatchInterval = 100;
// The longest name the server manager keeps, in bytes.
constexpr size_t kLongestName = 511;

// quarry.ini is looked for beside the program and then on PATH, the
// system's configuration folder last.
void PointAtConfiguration() {
    const char *path = std::getenv("PATH");
    std::string value = path != nullptr ? path : "";
    value += (value.empty() ? "" : ":") + std::string(RDX_SYSCONFDIR);
    setenv("PATH", value.c_str(), 1);
}

// The path the program was started by, so that a link to it in a home
// directory finds that home's quarry.ini; the executable itself when it was
// found on PATH.
std::string ProgramPath(const char *argv0) {
    if (std::strchr(argv0, '/') != nullptr) return argv0;
    char resolved[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", resolved, sizeof resolved - 1);
    if (length <= 0) return argv0;
    return std::string(resolved, static_cast<size_t>(length));
}

int Run(const std::string &name, bool showProgress, bool quiet, double progressEvery) {
    const bool terminal = isatty(fileno(stderr)) != 0;
    rdrun::Progress progress(stderr, terminal, progressEvery);
    rdrun::ProgressFn report;
    if (showProgress && !quiet)
        report = [&progress](const uint32_t *statistics) { progress.Update(statistics); };
    const rdrun::RunResult result = rdrun::HostRun(name, report, kWatchInterval);
    if (result.namesLink) {
        std::fprintf(stderr,
                     "rdrun: %s is a link, not an activity: run an activity that uses it "
                     "(`rdcsm list` shows them)\n",
                     rdxc::VisibleText(name).c_str());
        return kExitFailed;
    }
    if (!result.started) {
        const std::string why =
            result.message.empty() ? rdrun::StatusText(result.status) : result.message;
        std::fprintf(stderr, "rdrun: cannot run the activity %s (status %u): %s\n",
                     rdxc::VisibleText(name).c_str(), result.status,
                     rdxc::VisibleText(why).c_str());
        return kExitFailed;
    }
    if (report) progress.Finish(result.statistics);
    if (!quiet || result.status != 0 || result.statusWord != 0)
        rdrun::PrintReport(stdout, name, result);
    return rdrun::ExitStatus(rdrun::OutcomeStatus(result));
}

} // namespace

int main(int argc, char **argv) {
    CLI::App app{"Runs one activity of the server manager in this process, or with --serve "
                 "the activities queued to run."};
    std::string name, config, layout;
    bool noProgress = false, quiet = false, serve = false, resume = false, fullRefresh = false;
    unsigned workers = 1;
    double progressEvery = 5;
    app.add_option("NAME", name, "The activity to run");
    app.add_flag("--serve", serve,
                 "Run queued activities until SIGTERM, SIGINT or SIGHUP, which stops the "
                 "running one cleanly");
    app.add_flag("--resume", resume,
                 "Go on after the last batch that an unfinished earlier run committed to its "
                 "target");
    app.add_flag("--full-refresh", fullRefresh,
                 "Start again from nothing: the copy forgets its bookmark of an incremental "
                 "load and replaces its target table");
    app.add_option("--workers", workers, "With --serve: processes running activities at once")
        ->check(CLI::Range(1u, 64u));
    app.add_option("--layout", layout,
                   "Show the fields a copy would read from the source described in FILE and "
                   "the CREATE TABLE of its target, copying and storing nothing (see rdrun(1))")
        ->type_name("FILE");
    app.add_option("-c,--config", config,
                   "Folder holding the quarry.ini to use, before any other (default: beside "
                   "the program, on PATH, then " RDX_SYSCONFDIR ")");
    app.add_option("--progress-every", progressEvery,
                   "Seconds between progress lines when standard error is not a terminal "
                   "(default 5; 0: every tenth of a second)")
        ->check(CLI::Range(0.0, 86400.0));
    app.add_flag("--no-progress", noProgress, "Show no progress while the activity runs");
    app.add_flag("-q,--quiet", quiet, "Print only a failure");
    try {
        app.parse(argc, argv);
        if (!layout.empty() && (serve || resume || fullRefresh || !name.empty()))
            throw CLI::ValidationError(
                "--layout", "takes no activity NAME, --serve, --resume or --full-refresh");
        if (layout.empty() && serve == !name.empty())
            throw CLI::ValidationError("NAME", "give either an activity NAME or --serve");
        if (serve && resume)
            throw CLI::ValidationError("--resume", "a served run resumes when it was queued "
                                                   "with `rdcsm run --resume NAME`");
        if (serve && fullRefresh)
            throw CLI::ValidationError("--full-refresh",
                                       "a served run starts again from nothing when it was "
                                       "queued with `rdcsm run --full-refresh NAME`");
        if (resume && fullRefresh)
            throw CLI::ValidationError("--full-refresh",
                                       "does not go with --resume: a run either goes on from "
                                       "where the last one stopped or starts again from nothing");
    } catch (const CLI::ParseError &e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : kExitUsage;
    }
    // A chosen folder goes before the program's own: the platform looks
    // beside the path it is given, which here is that folder's quarry.ini.
    std::string start = ProgramPath(argv[0]);
    if (!config.empty()) {
        start = config + "/quarry.ini";
        if (access(start.c_str(), R_OK) != 0) {
            std::fprintf(stderr, "rdrun: no readable quarry.ini in %s\n", config.c_str());
            return kExitFailed;
        }
    }
    if (name.size() > kLongestName) {
        std::fprintf(stderr, "rdrun: the activity name is too long: %zu bytes, at most %zu\n",
                     name.size(), kLongestName);
        return kExitFailed;
    }
    rdrun::CatchSignals();
    rdrun::AskStart(resume, fullRefresh);
    PointAtConfiguration();
    uint32_t status = RDPlatInit(start.c_str());
    if (status == 0) status = RDSystemInit();
    if (status != 0) {
        std::fprintf(stderr, "rdrun: cannot start (status %u): %s\n", status,
                     rdrun::StatusText(status).c_str());
        RDPlatTerm();
        return kExitFailed;
    }
    int code = 0;
    if (!layout.empty())
        code = rdrun::ShowLayout(layout, stdout, stderr);
    else
        code = serve ? rdrun::Serve(workers, stdout) : Run(name, !noProgress, quiet, progressEvery);
    RDSystemTerm();
    RDPlatTerm();
    return code;
}
