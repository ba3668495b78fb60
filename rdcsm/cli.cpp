// The subcommands of rdcsm and their options.
#include "cli.h"

#include "ask_server.h"
#include "jobfile.h"
#include "report.h"
#include "serve.h"

#include "rdplat.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>

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

// The information answer of this home's server manager.
int Status() {
    const std::optional<ServerInfo> info = AskInformation();
    if (!info) {
        std::printf("no server manager is running\n");
        return 1;
    }
    std::printf("server manager running: process %u, %u attached, state %u\n"
                "runs: %u queued, %u running; %u activities, %u links\n",
                info->process, info->attached, info->state, info->queued, info->running,
                info->activities, info->links);
    return 0;
}

// The shutdown request, as CSMgrShutdown sends it.
int Stop() {
    if (AskShutdown()) return 0;
    std::fprintf(stderr, "rdcsm: no server manager answered\n");
    return 1;
}

int QueueRun(Store &store, const std::string &name) {
    auto activity = store.FindObject(kActivity, name);
    if (!activity) {
        std::fprintf(stderr, "rdcsm: no activity is named %s\n", name.c_str());
        return 1;
    }
    Transaction transaction(store.Db());
    Statement insert(store.Db(), "INSERT INTO runs(activity, queued_ms) VALUES(?, ?)");
    insert.Bind(1, *activity).Bind(2, store.NowMs()).Run();
    const int64_t run = sqlite3_last_insert_rowid(store.Db().Handle());
    transaction.Commit();
    std::printf("queued run %lld of %s\n", static_cast<long long>(run), name.c_str());
    return 0;
}

int Define(Store &store, const std::string &path) {
    std::vector<JobObject> objects;
    std::string error;
    if (!ReadJobFile(path, objects, error)) {
        std::fprintf(stderr, "rdcsm: %s\n", error.c_str());
        return 1;
    }
    DefineObjects(store, objects);
    std::printf("defined %zu activities and links from %s\n", objects.size(), path.c_str());
    return 0;
}

int Export(Store &store, const std::string &output) {
    const std::string text = ExportJobFile(store);
    if (output.empty() || output == "-") {
        std::cout << text;
        return 0;
    }
    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file << text;
    if (!file.flush()) {
        std::fprintf(stderr, "rdcsm: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}

int Report(Store &store, bool (*print)(Store &, const std::string &, std::ostream &),
           const std::string &name) {
    if (print(store, name, std::cout)) return 0;
    std::fprintf(stderr, "rdcsm: no activity or link is named %s\n", name.c_str());
    return 1;
}

} // namespace

int RunCli(int argc, char **argv) {
    CLI::App app{"rdcsm: the server manager of the data-transfer engine. It serves the pipe "
                 "RDCSMP and keeps activities, links, runs, fields, log records and "
                 "statistics in one SQLite database. Without a subcommand it serves.",
                 "rdcsm"};
    app.require_subcommand(0, 1);
    app.fallthrough();
    std::string database;
    app.add_option("--db", database, "the database file (default: rdcsm.db in the home directory)");

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
    auto *stopCommand = app.add_subcommand("stop", "ask the running server manager to end");
    auto *statusCommand = app.add_subcommand("status", "tell whether a server manager runs");
    std::string file, name, output;
    auto *defineCommand =
        app.add_subcommand("define", "create or replace activities and links from a job file");
    defineCommand->add_option("FILE", file, "the job file (TOML)")->required();
    auto *exportCommand =
        app.add_subcommand("export", "write every activity and link as a job file");
    exportCommand->add_option("-o,--output", output,
                              "the file to write (default: standard output)");
    auto *listCommand = app.add_subcommand("list", "list the activities and links");
    auto *showCommand = app.add_subcommand("show", "show an activity's or link's description");
    auto *logCommand = app.add_subcommand("log", "show an activity's log records");
    auto *statsCommand = app.add_subcommand("stats", "show the runs and statistics of an activity");
    auto *runCommand = app.add_subcommand("run", "queue a run of an activity");
    for (auto *command : {showCommand, logCommand, statsCommand, runCommand})
        command->add_option("NAME", name, "the activity's (or link's) name")->required();

    CLI11_PARSE(app, argc, argv);

    // The home directory (its pipe folder, its database) and the
    // international formats that clients receive.
    const bool started = RDPlatInit(argv[0]) == 0;
    if (*stopCommand) return Stop();
    if (*statusCommand) return Status();
    if (database.empty() && (!started || !DefaultDatabase(database))) {
        std::fprintf(stderr, "rdcsm: no home directory (quarry.ini is neither beside rdcsm nor "
                             "on PATH); name the database with --db\n");
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
    try {
        if (*defineCommand) return Define(store, file);
        if (*exportCommand) return Export(store, output);
        if (*listCommand) return PrintList(store, std::cout), 0;
        if (*showCommand) return Report(store, PrintDescription, name);
        if (*logCommand) return Report(store, PrintLog, name);
        if (*statsCommand) return Report(store, PrintStatistics, name);
        if (*runCommand) return QueueRun(store, name);
    } catch (const DbError &error) {
        std::fprintf(stderr, "rdcsm: database error: %s\n", error.message.c_str());
        return 1;
    }
    return 0;
}

} // namespace rdcsm
