// SPDX-License-Identifier: Apache-2.0
// define, export, list, runs, show, log, stats and run on a store, printing
// into the answer's texts.
#include "tool_commands.h"

#include "define_check.h"
#include "jobfile.h"
#include "report.h"

#include "visible_text.h"

#include <sstream>

namespace rdcsm {

namespace {

using Out = std::ostringstream;

int QueueRun(Store &store, const ToolCommand &command, Out &out, Out &err) {
    auto activity = store.FindObject(kActivity, command.name);
    if (!activity) {
        err << "rdcsm: no activity is named " << rdxc::VisibleText(command.name) << "\n";
        return 1;
    }
    Transaction transaction(store.Db());
    Statement insert(store.Db(), "INSERT INTO runs(activity, queued_ms, flags) VALUES(?, ?, ?) "
                                 "RETURNING id");
    insert.Bind(1, *activity)
        .Bind(2, store.NowMs())
        .Bind(3, int64_t{(command.resume ? kRunResumes : 0) |
                         (command.fullRefresh ? kRunRefreshes : 0)});
    const int64_t run = insert.Returned();
    transaction.Commit();
    out << "queued run " << run << " of " << rdxc::VisibleText(command.name)
        << (command.resume ? " (to resume)" : "")
        << (command.fullRefresh ? " (to start again from nothing)" : "") << "\n";
    return 0;
}

// A message about the file opened names it as the user did.
std::string AsNamed(std::string text, const ToolCommand &command) {
    if (command.file.empty() || command.file == command.shownFile) return text;
    for (std::size_t at = text.find(command.file); at != std::string::npos;
         at = text.find(command.file, at + command.shownFile.size()))
        text.replace(at, command.file.size(), command.shownFile);
    return text;
}

// Defines the objects of a job file once all of it is checked; with
// checkOnly, checks and stores nothing.
int Define(Store &store, const ToolCommand &command, Out &out, Out &err) {
    std::vector<JobObject> objects;
    std::vector<JobSource> sources;
    std::string error;
    if (!ReadJobFile(command.file, objects, sources, error) ||
        !CheckJobObjects(store, command.file, objects, sources, error)) {
        err << "rdcsm: " << rdxc::VisibleText(AsNamed(error, command)) << "\n";
        return 1;
    }
    const std::string shown = rdxc::VisibleText(command.shownFile);
    if (command.checkOnly) {
        out << shown << " defines " << objects.size() << " activities and links, all good\n";
        return 0;
    }
    DefineObjects(store, objects);
    out << "defined " << objects.size() << " activities and links from " << shown << "\n";
    return 0;
}

int Export(Store &store, const ToolCommand &command, Out &out, Out &err) {
    std::string text, error;
    ExportOptions options;
    options.withholdSecrets = command.withholdSecrets;
    if (!ExportJobFile(store, options, text, error)) {
        err << "rdcsm: " << error << "\n";
        return 1;
    }
    out << text;
    return 0;
}

int Named(bool found, const ToolCommand &command, Out &err) {
    if (found) return 0;
    err << "rdcsm: no activity " << (command.command == "runs" ? "" : "or link ") << "is named "
        << rdxc::VisibleText(command.name) << "\n";
    return 1;
}

int Run(Store &store, const ToolCommand &command, Out &out, Out &err) {
    const std::string &name = command.name;
    if (command.command == "define") return Define(store, command, out, err);
    if (command.command == "export") return Export(store, command, out, err);
    if (command.command == "list") return PrintList(store, out), 0;
    if (command.command == "runs") return Named(PrintRuns(store, name, out), command, err);
    if (command.command == "show")
        return Named(PrintDescription(store, name, command.showSecrets, out), command, err);
    if (command.command == "log") return Named(PrintLog(store, name, out), command, err);
    if (command.command == "stats")
        return Named(PrintStatistics(store, name, out, command.json), command, err);
    if (command.command == "run") return QueueRun(store, command, out, err);
    err << "rdcsm: unknown subcommand " << rdxc::VisibleText(command.command) << "\n";
    return 1;
}

} // namespace

ToolAnswer RunToolCommand(Store &store, const ToolCommand &command) {
    Out out, err;
    ToolAnswer answer;
    try {
        answer.status = Run(store, command, out, err);
    } catch (const DbError &error) {
        err << "rdcsm: database error: " << error.message << "\n";
        answer.status = 1;
    }
    answer.out = out.str();
    answer.err = err.str();
    return answer;
}

} // namespace rdcsm
