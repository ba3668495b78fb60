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

#include "rdplat.h"
#include "visible_text.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace rdcsm {

namespace {

// The default database: rdcsm.db in the home directory.
bool DefaultDatabase(std::string &path) {
    const char *home = RDFileExeDir();
    if (home == nullptr || *home == '\0') return false;
    path = std::string(home) + "rdcsm.db";
    return true;
}

bool OpenStore(Store &store, const std::string &path) {
    DbError error;
    if (store.Open(path, error)) return true;
    std::fprintf(stderr, "rdcsm: cannot open the database %s: %s\n", path.c_str(),
                 error.message.c_str());
    return false;
}

int QueueRun(Store &store, const std::string &name, bool resume) {
    auto activity = store.FindObject(kActivity, name);
    if (!activity) {
        std::fprintf(stderr, "rdcsm: no activity is named %s\n", rdxc::VisibleText(name).c_str());
        return 1;
    }
    Transaction transaction(store.Db());
    Statement insert(store.Db(), "INSERT INTO runs(activity, queued_ms, flags) VALUES(?, ?, ?)");
    insert.Bind(1, *activity)
        .Bind(2, store.NowMs())
        .Bind(3, int64_t{resume ? kRunResumes : 0})
        .Run();
    const int64_t run = sqlite3_last_insert_rowid(store.Db().Handle());
    transaction.Commit();
    std::printf("queued run %lld of %s%s\n", static_cast<long long>(run),
                rdxc::VisibleText(name).c_str(), resume ? " (to resume)" : "");
    return 0;
}

// Defines the objects of a job file once all of it is checked; with
// checkOnly, checks and stores nothing.
int Define(Store &store, const std::string &path, bool checkOnly) {
    std::vector<JobObject> objects;
    std::vector<JobSource> sources;
    std::string error;
    if (!ReadJobFile(path, objects, sources, error) ||
        !CheckJobObjects(store, path, objects, sources, error)) {
        std::fprintf(stderr, "rdcsm: %s\n", rdxc::VisibleText(error).c_str());
        return 1;
    }
    if (checkOnly) {
        std::printf("%s defines %zu activities and links, all good\n",
                    rdxc::VisibleText(path).c_str(), objects.size());
        return 0;
    }
    DefineObjects(store, objects);
    std::printf("defined %zu activities and links from %s\n", objects.size(),
                rdxc::VisibleText(path).c_str());
    return 0;
}

int Export(Store &store, const std::string &output, const ExportOptions &options) {
    std::string text, error;
    if (!ExportJobFile(store, options, text, error)) {
        std::fprintf(stderr, "rdcsm: %s\n", error.c_str());
        return 1;
    }
    if (output.empty() || output == "-") {
        WriteStandardOutput(text); // a failure is told when the output is finished
        return 0;
    }
    if (WriteWholeFile(output, text, error)) return 0;
    std::fprintf(stderr, "rdcsm: cannot write %s\n", rdxc::VisibleText(error).c_str());
    return 1;
}

int NotNamed(const std::string &name) {
    std::fprintf(stderr, "rdcsm: no activity or link is named %s\n",
                 rdxc::VisibleText(name).c_str());
    return 1;
}

int Report(Store &store, bool (*print)(Store &, const std::string &, std::ostream &),
           const std::string &name) {
    return print(store, name, std::cout) ? 0 : NotNamed(name);
}

int Show(Store &store, const std::string &name, bool showSecrets) {
    return PrintDescription(store, name, showSecrets, std::cout) ? 0 : NotNamed(name);
}

// The subcommands that work on the database.
struct ToolCommands {
    CLI::App *define, *exportJobs, *list, *show, *log, *stats, *run;
    std::string file, name, output;
    ExportOptions exportOptions;
    bool showSecrets = false;
    bool resume = false;
    bool checkOnly = false;
    bool json = false;
};

int RunTool(Store &store, const ToolCommands &tool) {
    try {
        if (*tool.define) return Define(store, tool.file, tool.checkOnly);
        if (*tool.exportJobs) return Export(store, tool.output, tool.exportOptions);
        if (*tool.list) return PrintList(store, std::cout), 0;
        if (*tool.show) return Show(store, tool.name, tool.showSecrets);
        if (*tool.log) return Report(store, PrintLog, tool.name);
        if (*tool.stats)
            return PrintStatistics(store, tool.name, std::cout, tool.json) ? 0
                                                                           : NotNamed(tool.name);
        if (*tool.run) return QueueRun(store, tool.name, tool.resume);
    } catch (const DbError &error) {
        std::fprintf(stderr, "rdcsm: database error: %s\n", error.message.c_str());
        return 1;
    }
    return 0;
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
                 "statistics in one SQLite database. Without a subcommand it serves.",
                 "rdcsm"};
    app.require_subcommand(0, 1);
    app.fallthrough();
    std::string database;
    app.add_option("--db", database, "the database file (default: rdcsm.db in the home directory)");
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
    tool.define =
        app.add_subcommand("define", "create or replace activities and links from a job file");
    tool.define->add_option("FILE", tool.file, "the job file (TOML)")->required();
    tool.define->add_flag("--check", tool.checkOnly, "check the job file, defining nothing");
    tool.exportJobs = app.add_subcommand("export", "write every activity and link as a job file");
    tool.exportJobs->add_option("-o,--output", tool.output,
                                "the file to write, replaced only when whole, with mode 0600 "
                                "(default: standard output)");
    tool.exportJobs->add_flag("--no-secrets", tool.exportOptions.withholdSecrets,
                              "write placeholders in place of passwords");
    tool.list = app.add_subcommand("list", "list the activities and links");
    tool.show = app.add_subcommand("show", "show an activity's or link's description");
    tool.show->add_flag("--show-secrets", tool.showSecrets, "show passwords instead of ****");
    tool.log = app.add_subcommand("log", "show an activity's log records");
    tool.stats = app.add_subcommand("stats", "show the runs and statistics of an activity");
    tool.stats->add_flag("--json", tool.json, "write them as one JSON object, for scripts");
    tool.run = app.add_subcommand("run", "queue a run of an activity");
    tool.run->add_flag("--resume", tool.resume, "ask the host to resume the activity's copy");
    for (auto *command : {tool.show, tool.log, tool.stats, tool.run})
        command->add_option("NAME", tool.name, "the activity's (or link's) name")->required();

    CLI11_PARSE(app, argc, argv);
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
    if (database.empty() && (!started || !DefaultDatabase(database))) {
        std::fprintf(stderr, "rdcsm: no home directory (quarry.ini is neither beside rdcsm nor "
                             "on PATH): set one up with `rdcsm init`, then name it with -c "
                             "FOLDER or put it on PATH; or name the database with --db\n");
        return 1;
    }
    if (app.get_subcommands().empty() || *serveCommand) {
        if (!started)
            std::fprintf(stderr, "rdcsm: quarry.ini not found: without the international "
                                 "formats no client can attach\n");
        serve.database = database;
        serve.options.timeout = std::chrono::milliseconds(timeoutMs);
        return Serve(serve);
    }
    Store store;
    if (!OpenStore(store, database)) return 1;
    return Finished(RunTool(store, tool));
}

} // namespace rdcsm
