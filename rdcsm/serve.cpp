// SPDX-License-Identifier: Apache-2.0
// Serving: the store opened, the pipe created, signals turned into a stop.
// Detached, the child tells the parent through a pipe whether it started
// (its failure text, or nothing), and the parent succeeds only once the
// home's pipe answers with the child's own process id.
#include "serve.h"

#include "ask_server.h"
#include "service_notify.h"
#include "store_choice.h"

#include "rdplat_ipc.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rdcsm {

namespace {

// The most of a child's report that is read.
constexpr std::size_t kReportMax = 4096;

// The child's report: its failure text, empty when it started (it closed
// the pipe without a word, or ended without one).
std::string ReadReport(int fd) {
    std::string text;
    char piece[512];
    for (;;) {
        const ssize_t got = read(fd, piece, sizeof piece);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return text;
        text.append(piece, std::min(static_cast<std::size_t>(got), kReportMax - text.size()));
    }
}

// Sends the failure text (nothing when started) and closes the report.
void SendReport(int &fd, const std::string &failure) {
    if (fd < 0) return;
    std::size_t sent = 0;
    while (sent < failure.size()) {
        const ssize_t put = write(fd, failure.data() + sent, failure.size() - sent);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        sent += static_cast<std::size_t>(put);
    }
    close(fd);
    fd = -1;
}

// Why a child that said it started does not answer for itself on the pipe;
// a child still running is stopped, since no client would reach it.
std::string WhyNotAnswering(pid_t child, const std::optional<ServerInfo> &info) {
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child)
        return "the detached server manager ended before it answered on the pipe RDCSMP";
    kill(child, SIGTERM);
    waitpid(child, &status, 0);
    const std::string self = " the detached server manager (process " + std::to_string(child) + ")";
    if (info)
        return "the pipe RDCSMP is answered by process " + std::to_string(info->process) +
               ", not by" + self + ", which was stopped";
    return "the pipe RDCSMP does not answer for" + self + ", which was stopped";
}

// The parent of a detached server manager: its exit status. page is the
// status page's address when it is known before the child binds it.
int AwaitChild(pid_t child, int report, const std::string &page) {
    const std::string failure = ReadReport(report);
    close(report);
    if (!failure.empty()) {
        waitpid(child, nullptr, 0);
        std::fprintf(stderr, "rdcsm: %s\n", failure.c_str());
        return 1;
    }
    const std::optional<ServerInfo> info = AskInformation();
    if (info && info->process == static_cast<uint32_t>(child)) {
        std::printf("rdcsm serving in process %d\n", static_cast<int>(child));
        if (!page.empty()) std::printf("rdcsm: status page on %s\n", page.c_str());
        return 0;
    }
    std::fprintf(stderr, "rdcsm: %s\n", WhyNotAnswering(child, info).c_str());
    return 1;
}

// Forks; the parent returns its exit status in status and false, the child
// true with its end of the report pipe, a session of its own and standard
// streams on /dev/null.
bool Detach(int &report, int &status, const std::string &page) {
    int ends[2];
    status = 1;
    if (pipe2(ends, O_CLOEXEC) != 0) {
        std::perror("rdcsm: pipe");
        return false;
    }
    const pid_t child = fork();
    if (child != 0) {
        close(ends[1]);
        if (child < 0) {
            std::perror("rdcsm: fork");
            close(ends[0]);
            return false;
        }
        status = AwaitChild(child, ends[0], page);
        return false;
    }
    close(ends[0]);
    report = ends[1];
    setsid();
    int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        close(null);
    }
    return true;
}

// Opens the store, starts the status page when asked for, and creates the
// pipe; the failure text, empty on success.
std::string Prepare(const ServeSettings &settings, ServerState &state, PipeServer &server,
                    http::HttpServer *page) {
    DbError error;
    if (!state.store.Open(settings.store, error))
        return "cannot open " + StoreName(settings.store) + ": " + error.message;
    // The tool's requests name the store by its identity.
    state.database = settings.store.Identity();
    std::string failure;
    if (page != nullptr && !page->Start(failure)) return failure;
    if (!server.Start(failure)) return failure;
    return {};
}

} // namespace

int Serve(const ServeSettings &settings) {
    int report = -1;
    int status = 0;
    // A page on port 0 learns its port in the child, which cannot tell it.
    const http::HttpSettings &page = settings.http;
    const std::string pageUrl =
        page.enabled && page.port != 0 ? http::PageUrl(page.address, page.port) : "";
    if (settings.detach && !Detach(report, status, pageUrl)) return status;
    // Signals are taken by a thread of their own; every other thread blocks them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    ServerState state;
    state.translationMode = settings.translationMode;
    state.tool = settings.tool;
    PipeServer server(state, settings.options);
    std::optional<http::HttpServer> pageServer;
    if (page.enabled) pageServer.emplace(state, page);
    const std::string failure =
        Prepare(settings, state, server, pageServer ? &*pageServer : nullptr);
    SendReport(report, failure);
    if (!failure.empty()) {
        std::fprintf(stderr, "rdcsm: %s\n", failure.c_str());
        return 1;
    }
    // The pipe answers from here on: a service manager waiting for it
    // (Type=notify) is told; not being heard is no reason to stop serving.
    std::string unheard;
    if (!NotifyServiceManager("READY=1\nMAINPID=" + std::to_string(getpid()), &unheard))
        std::fprintf(stderr, "rdcsm: %s\n", unheard.c_str());
    if (pageServer) {
        // The bound port, which a page asked for on port 0 learns only here.
        std::printf("rdcsm: status page on %s\n", pageServer->Url().c_str());
        std::fflush(stdout);
    }
    std::thread waiter([&server, signals] {
        int signal = 0;
        sigwait(&signals, &signal);
        server.Stop();
    });
    server.Run();
    if (pageServer) pageServer->Stop();
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    return 0;
}

} // namespace rdcsm
