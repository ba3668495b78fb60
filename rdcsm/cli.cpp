// SPDX-License-Identifier: Apache-2.0
// The subcommands of rdcsm and their options.
#include "cli.h"

#include "ask_server.h"
#include "cli_output.h"
#include "define_check.h"
#include "home_setup.h"
#include "jobfile.h"
#include "report.h"
#include "serve.h"
#include "server_tell.h"
#include "store_choice.h"
#include "tool_commands.h"

#include "rdplat.h"
#include "visible_text.h"

#include <CLI/CLI.hpp>
#include <climits>
#include <cstdio>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace rdcsm {

namespace {

constexpr int kExitUsage = 64;

bool OpenStore(Store &store, const StoreUri &uri) {
    DbError error;
    if (store.Open(uri, error)) return true;
    std::fprintf(stderr, "rdcsm: cannot open %s: %s\n", StoreName(uri).c_str(),
                 error.message.c_str());
    return false;
}

// The subcommands that read or change stored items.
struct ToolCommands {
    CLI::App *define, *exportJobs, *list, *runs, *show, *log, *stats, *run;
    ToolCommand command;
    std::string output;
};

// The chosen subcommand's name; empty for none of the tool's.
std::string ChosenTool(const ToolCommands &tool) {
    for (CLI::App *command : {tool.define, tool.exportJobs, tool.list, tool.runs, tool.show,
                              tool.log, tool.stats, tool.run})
        if (*command) return command->get_name();
    return {};
}

// A path as the server manager opens it: from the tool's current folder.
std::string Absolute(const std::string &path) {
    if (path.empty() || path.front() == '/') return path;
    char folder[PATH_MAX];
    if (getcwd(folder, sizeof folder) == nullptr) return path;
    return std::string(folder) + "/" + path;
}

// Prints what the subcommand printed: export's text to its output file
// when one is named, the rest to the standard output and error.
int Deliver(const ToolAnswer &answer, const ToolCommands &tool) {
    std::fputs(answer.err.c_str(), stderr);
    if (answer.status != 0 || !*tool.exportJobs || tool.output.empty() || tool.output == "-") {
        WriteStandardOutput(answer.out); // a failure is told when the output is finished
        return answer.status;
    }
    std::string error;
    if (WriteWholeFile(tool.output, answer.out, error)) return 0;
    std::fprintf(stderr, "rdcsm: cannot write %s\n", rdxc::VisibleText(error).c_str());
    return 1;
}

// The server manager serving the store runs the subcommand (the one that
// answers this home's pipe, when it keeps the store of the same identity);
// only when none does is the store opened here.
int RunTool(const StoreUri &uri, const ToolCommands &tool) {
    ToolAnswer answer;
    switch (AskTool(uri.Identity(), tool.command, answer)) {
    case Asked::kAnswered:
        return Deliver(answer, tool);
    case Asked::kNoAnswer:
        std::fprintf(stderr, "rdcsm: the server manager took the request but gave no answer\n");
        return 1;
    case Asked::kNoServer:
        break;
    }
    Store store;
    if (!OpenStore(store, uri)) return 1;
    return Deliver(RunToolCommand(store, tool.command), tool);
}

// The exit status of a subcommand that wrote to the standard output: a
// failure when what it wrote was lost.
int Finished(int status) {
    return FinishStandardOutput() ? status : 1;
}

} // namespace

int RunCli(int argc, char **argv) {
    GuardStandardStreams();
    CLI::App app{"rdcsm: the server manager of the data-transfer engine. It serves the pipe "
                 "RDCSMP and keeps activities, links, runs, fields, log records and "
                 "statistics in one store: a SQLite file or a PostgreSQL database. Without a "
                 "subcommand it serves.",
                 "rdcsm"};
    app.require_subcommand(0, 1);
    app.fallthrough();
    StoreChoice choice;
    auto *dbOption = app.add_option(
        "--db", choice.database,
        "the SQLite database file (default: Store= of quarry.ini, else rdcsm.db in the home "
        "directory)");
    app.add_option("--store", choice.store,
                   "the store: sqlite:PATH, postgresql://..., postgres://... or a libpq "
                   "keyword string (default: Store= of quarry.ini, else rdcsm.db in the home "
                   "directory)")
        ->excludes(dbOption);
    std::string config;
    app.add_option("-c,--config", config,
                   "the home directory whose quarry.ini to use (default: beside rdcsm, then "
                   "on PATH)");
    std::string homeFolder;
    auto *initCommand = app.add_subcommand(
        "init", "set up a home directory: quarry.ini, links to the programs and connectors, "
                "the database");
    initCommand->add_option("FOLDER", homeFolder,
                            "the home (default: the -c folder, else $XDG_STATE_HOME/rdx/home or "
                            "~/.local/state/rdx/home)");

    ServeSettings serve;
    int timeoutMs = 5000;
    auto *serveCommand = app.add_subcommand("serve", "serve the pipe in the foreground");
    serveCommand
        ->add_option("--timeout-ms", timeoutMs,
                     "how long a connection may take to send its request (default 5000)")
        ->check(CLI::Range(10, 600000));
    serveCommand
        ->add_option("--workers", serve.options.maxWorkers,
                     "the most connections served at once (default 32)")
        ->check(CLI::Range(1, 200));
    serveCommand
        ->add_option("--translation-mode", serve.translationMode,
                     "the translation mode sent to clients, 0-2 (default 2)")
        ->check(CLI::Range(0, 2));
    serveCommand->add_flag("--detach", serve.detach, "serve in the background");
    serveCommand->add_option("--host", choice.host,
                             "this server manager's name among those sharing the store "
                             "(default: Host= of quarry.ini, else the machine's host name)");
    serveCommand
        ->add_option("--lease-ms", choice.leaseMs,
                     "how long a run stays held by this server manager without renewal "
                     "(default: LeaseMs= of quarry.ini, else 15000)")
        ->check(CLI::Range(kLeaseMinMs, kLeaseMaxMs));
    std::string httpAddress, httpTokenFile;
    serveCommand->add_option("--http", httpAddress,
                             "serve the read-only status page on ADDRESS:PORT, or PORT of "
                             "127.0.0.1 (default: Http= of quarry.ini, else none)");
    serveCommand->add_option("--http-token-file", httpTokenFile,
                             "the file whose first line is the token the status page asks "
                             "for (needed to listen on an address other than loopback)");
    uint32_t waitMs = kAnswerWaitMs;
    auto *stopCommand = app.add_subcommand("stop", "ask the running server manager to end");
    auto *statusCommand = app.add_subcommand("status", "tell whether a server manager runs");
    for (auto *command : {stopCommand, statusCommand})
        command
            ->add_option("--wait-ms", waitMs,
                         "how long to wait for the answer of a server manager that took the "
                         "request (default 10000)")
            ->check(CLI::Range(1, 600000));
    ToolCommands tool{};
    ToolCommand &command = tool.command;
    tool.define =
        app.add_subcommand("define", "create or replace activities and links from a job file");
    tool.define->add_option("FILE", command.shownFile, "the job file (TOML)")->required();
    tool.define->add_flag("--check", command.checkOnly, "check the job file, defining nothing");
    tool.exportJobs = app.add_subcommand("export", "write every activity and link as a job file");
    tool.exportJobs->add_option("-o,--output", tool.output,
                                "the file to write, replaced only when whole, with mode 0600 "
                                "(default: standard output)");
    tool.exportJobs->add_flag("--no-secrets", command.withholdSecrets,
                              "write placeholders in place of passwords");
    tool.list =
        app.add_subcommand("list", "list the activities and links, with their runs counted");
    tool.runs = app.add_subcommand("runs", "list every run, or the runs of an activity");
    tool.runs->add_option("NAME", command.name, "the activity's name");
    tool.show = app.add_subcommand("show", "show an activity's or link's description");
    tool.show->add_flag("--show-secrets", command.showSecrets, "show passwords instead of ****");
    tool.log = app.add_subcommand("log", "show an activity's log records");
    tool.stats = app.add_subcommand("stats", "show the runs and statistics of an activity");
    tool.stats->add_flag("--json", command.json, "write them as one JSON object, for scripts");
    tool.run = app.add_subcommand("run", "queue a run of an activity");
    tool.run->add_flag("--resume", command.resume, "ask the host to resume the activity's copy");
    tool.run->add_flag("--full-refresh", command.fullRefresh,
                       "ask the host to start the copy again from nothing: its bookmark "
                       "forgotten, its target table replaced");
    for (auto *named : {tool.show, tool.log, tool.stats, tool.run})
        named->add_option("NAME", command.name, "the activity's (or link's) name")->required();

    CLI11_PARSE(app, argc, argv);
    if (command.resume && command.fullRefresh) {
        std::fprintf(stderr, "rdcsm: run: --full-refresh does not go with --resume: a run "
                             "either goes on from where the last one stopped or starts again "
                             "from nothing\n");
        return kExitUsage;
    }
    if (*initCommand) return Finished(InitHome(homeFolder.empty() ? config : homeFolder));
    // The platform looks beside the path it is given: a chosen home's
    // quarry.ini goes before the program's own.
    std::string start = argv[0];
    if (!config.empty()) {
        start = config + "/quarry.ini";
        if (access(start.c_str(), R_OK) != 0) {
            std::fprintf(stderr,
                         "rdcsm: no readable quarry.ini in %s (set one up with `rdcsm "
                         "init FOLDER`)\n",
                         rdxc::VisibleText(config).c_str());
            return 1;
        }
    }
    // The home directory (its pipe folder, its database) and the
    // international formats that clients receive.
    const bool started = RDPlatInit(start.c_str()) == 0;
    if (*stopCommand) return Finished(StopServer(waitMs));
    if (*statusCommand) return Finished(TellStatus(waitMs));
    StoreUri store;
    std::string refusal;
    if (!ChooseStore(choice, started, store, refusal)) {
        std::fprintf(stderr, "rdcsm: %s\n", refusal.c_str());
        return 1;
    }
    if (app.get_subcommands().empty() || *serveCommand) {
        if (!started)
            std::fprintf(stderr, "rdcsm: quarry.ini not found: without the international "
                                 "formats no client can attach\n");
        serve.store = store;
        if (!ChooseHost(choice, serve.options, refusal)) {
            std::fprintf(stderr, "rdcsm: %s\n", refusal.c_str());
            return 1;
        }
        if (!http::ChooseHttp(httpAddress, httpTokenFile, serve.http, refusal)) {
            std::fprintf(stderr, "rdcsm: %s\n", refusal.c_str());
            return 1;
        }
        serve.options.timeout = std::chrono::milliseconds(timeoutMs);
        serve.tool = RunToolCommand;
        return Serve(serve);
    }
    command.command = ChosenTool(tool);
    command.file = Absolute(command.shownFile);
    return Finished(RunTool(store, tool));
}

} // namespace rdcsm
