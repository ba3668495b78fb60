// SPDX-License-Identifier: Apache-2.0
// The status page of `rdcsm serve --http`: the real program serving a
// test home, this test playing the host of its runs through the pipe
// (progress samples, log records, statistics, ends), and the pages and API
// read with an HTTP client. Names and log texts that carry markup must
// arrive as text everywhere; a token guards the page when one is given.
#include "rdcsm_test_env.h"
#include "report.h"
#include "samples.h"
#include "test_store.h"
#include "tool_env.h"

#include "rdx_status.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rdcsmtest {
namespace {

const std::string kEvil = "<script>alert(1)</script>";
const std::string kEvilHtml = "&lt;script&gt;alert(1)&lt;/script&gt;";
const std::string kEvilJson = "\\u003cscript\\u003ealert(1)\\u003c/script\\u003e";
const std::string kEvilUrl = "%3Cscript%3Ealert%281%29%3C%2Fscript%3E";
const std::string kBadText = "<img src=x onerror=alert(2)> & more in row 2";

bool Has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

// Rates and chart points move by a little with the real time that passes
// beside the test's moved clock: a pattern's {a|b} groups name the texts
// allowed there, and the text must hold one of the pattern's expansions.
std::vector<std::string> Expansions(const std::string &pattern) {
    const std::size_t open = pattern.find('{');
    if (open == std::string::npos) return {pattern};
    const std::size_t close = pattern.find('}', open);
    std::vector<std::string> all;
    const std::string choices = pattern.substr(open + 1, close - open - 1);
    for (std::size_t at = 0; at <= choices.size();) {
        const std::size_t bar = std::min(choices.find('|', at), choices.size());
        for (const std::string &rest : Expansions(pattern.substr(close + 1)))
            all.push_back(pattern.substr(0, open) + choices.substr(at, bar - at) + rest);
        at = bar + 1;
    }
    return all;
}

bool Matches(const std::string &text, const std::string &pattern) {
    for (const std::string &expansion : Expansions(pattern))
        if (Has(text, expansion)) return true;
    return false;
}

class HttpTest : public ProgramTest {
  protected:
    // Starts `rdcsm serve ARGUMENTS` (its standard output to a file); the
    // port of its start line, 0 when it did not start.
    int StartServing(const std::vector<std::string> &arguments) {
        const rdcsm::StoreUri store = TestStore(home_.Path("rdcsm.db"));
        const std::string output = home_.Path("serve.out");
        const std::string path = home_.Dir() + ":" + (getenv("PATH") ? getenv("PATH") : "");
        child_ = fork();
        if (child_ == 0) {
            const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            setenv("PATH", path.c_str(), 1);
            std::vector<const char *> argv{"rdcsm",
                                           store.kind == rdcsm::StoreKind::kSqlite ? "--db"
                                                                                   : "--store",
                                           store.target.c_str(),
                                           "serve",
                                           "--timeout-ms",
                                           "1000"};
            for (const std::string &argument : arguments)
                argv.push_back(argument.c_str());
            argv.push_back(nullptr);
            execv(RDCSM_PROGRAM, const_cast<char *const *>(argv.data()));
            _exit(127);
        }
        const std::string start = "rdcsm: status page on http://";
        for (int i = 0; i < 1000; ++i) {
            const std::string said = rdtest::ReadFile(output);
            const std::size_t line = said.find(start), slash = said.find("/\n", line);
            if (line != std::string::npos && slash != std::string::npos &&
                RDIPCExists("RDCSMP", 0) != 0)
                return std::atoi(said.c_str() + said.rfind(':', slash) + 1);
            if (waitpid(child_, nullptr, WNOHANG) == child_) break;
            usleep(10000);
        }
        return 0;
    }

    httplib::Result Get(int port, const std::string &path, const httplib::Headers &headers = {}) {
        httplib::Client client("127.0.0.1", port);
        return client.Get(path.c_str(), headers);
    }

    void Define(const std::string &job) {
        rdtest::WriteFile(home_.Path("job.toml"), job);
        const ToolRun run = RunTool(home_, "define " + Quoted(home_.Path("job.toml")));
        ASSERT_EQ(0, run.status) << run.err;
    }

    // Queues a run of the activity and takes it as its host: its run handle.
    uint32_t TakeRun(const std::string &activity) {
        const ToolRun run = RunTool(home_, "run " + Quoted(activity));
        EXPECT_EQ(0, run.status) << run.err;
        NextActivityRecord next{};
        EXPECT_EQ(0u, CSMgrNextActivity(&next));
        return next.handle;
    }

    // A progress sample of the run after the server's clock moved on by
    // seconds: records read and written of those the select told.
    static void Sample(uint32_t handle, uint32_t read, uint32_t written, uint32_t told) {
        ASSERT_EQ(0u, __CSMgrAdvanceClock(2));
        uint32_t words[CSMGR_STATISTICS_COUNT] = {};
        words[13] = told;
        words[14] = read;
        words[15] = written;
        ASSERT_EQ(0u, CSMgrDataLog(rdcsm::SampleHandle(handle), words));
    }
};

// Runs of every state, an activity named with markup, and a failed run
// whose log text carries markup, as each page and API answer shows them.
TEST_F(HttpTest, PagesAndApiShowRunsAsTextOnly) {
    Define("[activity.load]\n5 = 41\n[activity.\"" + kEvil +
           "\"]\n5 = \"host=db password=hunter2\"\n");
    const int port = StartServing({"--http", "127.0.0.1:0"});
    ASSERT_NE(0, port) << rdtest::ReadFile(home_.Path("serve.out"));

    const uint32_t ended = TakeRun("load"); // samples, then its statistics and a good end
    Sample(ended, 100, 100, 1000);
    Sample(ended, 300, 300, 1000);
    uint32_t totals[CSMGR_STATISTICS_COUNT] = {};
    totals[14] = totals[15] = 1000;
    ASSERT_EQ(0u, CSMgrDataLog(ended, totals));
    ASSERT_EQ(0u, CSMgrDoneActivity(ended, 0));
    const uint32_t failed = TakeRun("load"); // two errors and a closing remark
    ASSERT_EQ(0u, CSMgrLog(failed, RDSTATUS_EXCHANGE, &Stream("first problem", 256)));
    ASSERT_EQ(0u, CSMgrLog(failed, RDSTATUS_EXCHANGE, &Stream(kBadText.c_str(), 256)));
    ASSERT_EQ(0u, CSMgrLog(failed, RDMESSAGE_INFORMATIONAL, &Stream("Copy stopped.", 256)));
    ASSERT_EQ(0u, CSMgrDoneActivity(failed, 7));
    const uint32_t running = TakeRun(kEvil); // 400 of 1000 read in 4 s
    Sample(running, 200, 0, 1000);
    Sample(running, 400, 0, 1000);
    ASSERT_EQ(0, RunTool(home_, "run load").status); // stays queued
    const auto number = [](uint32_t handle) { return std::to_string(handle - rdcsm::kRunBase); };
    const std::string queued = std::to_string(std::stoi(number(running)) + 1);

    auto page = Get(port, "/");
    ASSERT_TRUE(page);
    EXPECT_EQ(200, page->status);
    EXPECT_EQ("text/html; charset=utf-8", page->get_header_value("Content-Type"));
    const std::string &runs = page->body;
    EXPECT_TRUE(Has(runs, "<table id=\"runs\">")) << runs;
    EXPECT_TRUE(Has(runs, "<th scope=\"col\">Run</th>"));
    EXPECT_TRUE(Has(runs, "<tr data-run=\"" + number(ended) +
                              "\" data-state=\"ended\" data-outcome=\"ended\">"));
    EXPECT_TRUE(Has(runs, "<tr data-run=\"" + number(failed) +
                              "\" data-state=\"ended\" data-outcome=\"failed\">"));
    EXPECT_TRUE(Has(runs, "<tr data-run=\"" + queued +
                              "\" data-state=\"queued\" data-outcome=\"queued\">"));
    EXPECT_TRUE(Has(runs, "<tr data-run=\"" + number(running) +
                              "\" data-state=\"running\" data-outcome=\"running\"><td "
                              "class=\"run\"><a href=\"/runs/" +
                              number(running) + "\">" + number(running) +
                              "</a></td><td class=\"activity\"><a href=\"/activities/" + kEvilUrl +
                              "\">" + kEvilHtml + "</a></td>"))
        << runs;
    // The running run: 400 read in 4 s of the 1000 told.
    EXPECT_TRUE(Matches(runs, "<td class=\"records\">400</td><td class=\"rate\">{99|100}/s</td>"
                              "<td class=\"percent\">40%</td><td class=\"left\">6.{0|1} s</td>"))
        << runs;
    // The ended run: its statistics' records over its 4 s.
    EXPECT_TRUE(Matches(runs, "<td class=\"duration\">4.0 s</td><td class=\"records\">1,000</td>"
                              "<td class=\"rate\">{248|249|250}/s</td>"))
        << runs;
    EXPECT_FALSE(Has(runs, kEvil));

    auto api = Get(port, "/api/runs");
    ASSERT_TRUE(api);
    EXPECT_EQ("application/json", api->get_header_value("Content-Type"));
    EXPECT_TRUE(Has(api->body, "{\"run\":" + number(running) + ",\"activity\":\"" + kEvilJson +
                                   "\",\"state\":\"running\",\"outcome\":\"running\","))
        << api->body;
    EXPECT_TRUE(Has(api->body, "\"records\":400,\"read\":400,\"written\":0,\"rate\":"));
    EXPECT_TRUE(Has(api->body, "\"share\":0.400,\"seconds_left\":"));
    EXPECT_TRUE(Matches(api->body, "\"records\":\"400\",\"rate\":\"{99|100}/s\",\"percent\":"
                                   "\"40%\",\"left\":\"6.{0|1} s\"}}"));
    EXPECT_TRUE(Has(api->body, "\"state\":\"queued\",\"outcome\":\"queued\""));
    EXPECT_TRUE(Has(api->body, "\"ended_ms\":null,\"duration_ms\":null,\"host\":null"));
    EXPECT_FALSE(Has(api->body, "<")) << api->body;

    // The failed run's page: the last error marks the failing line, its
    // markup shown as text.
    page = Get(port, "/runs/" + number(failed));
    ASSERT_TRUE(page);
    EXPECT_EQ(200, page->status);
    EXPECT_TRUE(Has(page->body, "<div id=\"live\" data-state=\"ended\" data-outcome=\"failed\">"));
    EXPECT_TRUE(Has(page->body, "<table id=\"statistics\">"));
    EXPECT_TRUE(Has(page->body, "<tr class=\"failing\"><td class=\"time\">"));
    const std::size_t failing = page->body.find("<tr class=\"failing\">");
    EXPECT_TRUE(Has(page->body.substr(failing, page->body.find("</tr>", failing) - failing),
                    "&lt;img src=x onerror=alert(2)&gt; &amp; more in row 2"))
        << page->body;
    EXPECT_EQ(failing, page->body.rfind("class=\"failing\"") - 4); // one line alone
    EXPECT_FALSE(Has(page->body, "<img"));
    api = Get(port, "/api/runs/" + number(failed));
    ASSERT_TRUE(api);
    EXPECT_TRUE(Has(api->body, "\"failing\":true,\"text\":\"\\u003cimg src=x onerror=alert(2)"
                               "\\u003e \\u0026 more in row 2\""))
        << api->body;

    // The ended run's page: labelled statistics and its throughput chart.
    page = Get(port, "/runs/" + number(ended));
    ASSERT_TRUE(page);
    EXPECT_TRUE(Has(page->body, "<tr><th scope=\"row\">records: insert</th><td>1,000</td></tr>"))
        << page->body;
    EXPECT_TRUE(Has(page->body, "<svg id=\"throughput\" role=\"img\""));
    EXPECT_TRUE(Matches(page->body, ",{94|95|96}.{0|1|2|3|4|5|6|7|8|9} 590.0,10.0\"/>"))
        << page->body; // 50/s then 100/s, the peak at the top
    EXPECT_TRUE(Matches(page->body, "<p id=\"throughput-summary\">2 samples over 4.0 s: peak "
                                    "{99|100}/s, latest {99|100}/s.</p>"));
    EXPECT_FALSE(Has(page->body, "class=\"failing\""));

    // The activity named with markup: its definition masked, its history.
    page = Get(port, "/activities/" + kEvilUrl);
    ASSERT_TRUE(page);
    EXPECT_EQ(200, page->status);
    EXPECT_TRUE(Has(page->body, "<h1>Activity " + kEvilHtml + "</h1>"));
    EXPECT_TRUE(Has(page->body, "<pre id=\"definition\">activity " + kEvilHtml));
    EXPECT_TRUE(Has(page->body, "password=****"));
    EXPECT_FALSE(Has(page->body, "hunter2"));
    EXPECT_TRUE(Has(page->body, "<svg id=\"history\" role=\"img\""));
    EXPECT_TRUE(Has(page->body, "<p id=\"history-summary\">1 runs, from run " + number(running)));
    EXPECT_FALSE(Has(page->body, kEvil));
    api = Get(port, "/api/activities");
    ASSERT_TRUE(api);
    EXPECT_TRUE(Has(api->body, "{\"name\":\"" + kEvilJson + "\",\"last_run\":{\"run\":"));
    EXPECT_TRUE(Has(api->body, "{\"name\":\"load\",\"last_run\":{\"run\":" + queued));
    api = Get(port, "/api/activities/load");
    ASSERT_TRUE(api);
    EXPECT_TRUE(Has(api->body, "\"definition\":\"activity load (handle"));
}

TEST_F(HttpTest, FiltersPathsMethodsAndHeaders) {
    Define("[activity.load]\n5 = 41\n[activity.other]\n5 = 1\n");
    const int port = StartServing({"--http", "0"});
    ASSERT_NE(0, port);
    const uint32_t good = TakeRun("load");
    ASSERT_EQ(0u, CSMgrDoneActivity(good, 0));
    const uint32_t bad = TakeRun("other");
    ASSERT_EQ(0u, CSMgrDoneActivity(bad, 9));
    const auto rows = [&](const std::string &query) {
        auto page = Get(port, "/" + query);
        std::string shown;
        const std::string mark = "<tr data-run=\"";
        for (std::size_t at = 0; page && (at = page->body.find(mark, at)) != std::string::npos;) {
            at += mark.size();
            shown += page->body.substr(at, page->body.find('"', at) - at) + " ";
        }
        return shown;
    };
    const std::string first = std::to_string(good - rdcsm::kRunBase),
                      second = std::to_string(bad - rdcsm::kRunBase);
    // Asked in turn, again and again: each filter answers its own runs.
    for (int round = 0; round < 5; ++round) {
        EXPECT_EQ(second + " " + first + " ", rows(""));
        EXPECT_EQ(second + " ", rows("?outcome=failed"));
        EXPECT_EQ("", rows("?outcome=queued"));
        EXPECT_EQ(first + " ", rows("?activity=load"));
        EXPECT_EQ(first + " ", rows("?outcome=ended"));
        EXPECT_EQ("", rows("?activity=nothing"));
        EXPECT_EQ("", rows("?day=1999-12-31"));
    }
    // The day of the runs, as the API tells their start.
    auto api = Get(port, "/api/runs/" + first);
    ASSERT_TRUE(api);
    const std::size_t at = api->body.find("\"started_ms\":") + 13;
    const int64_t started = std::stoll(api->body.substr(at));
    const std::string day = rdcsm::TimeText(started).substr(0, 10);
    EXPECT_EQ(first + " ", rows("?day=" + day + "&activity=load&outcome=ended"));

    for (const std::string bad :
         {"/?day=2026-02-30", "/?day=26-1-1", "/?outcome=great", "/api/runs?day=2026-13-01"}) {
        auto page = Get(port, bad);
        ASSERT_TRUE(page);
        EXPECT_EQ(400, page->status) << bad;
    }
    for (const std::string missing :
         {"/runs/999", "/runs/abc", "/runs/-1", "/api/runs/999", "/activities/nothing",
          "/api/activities/nothing", "/nothing", "/static/other.js"}) {
        auto page = Get(port, missing);
        ASSERT_TRUE(page);
        EXPECT_EQ(404, page->status) << missing;
    }
    auto script = Get(port, "/static/page.js");
    ASSERT_TRUE(script);
    EXPECT_EQ("text/javascript; charset=utf-8", script->get_header_value("Content-Type"));
    EXPECT_TRUE(Has(script->body, "body.dataset.updates = String(updates)")); // the built-in file
    auto style = Get(port, "/static/page.css");
    ASSERT_TRUE(style);
    EXPECT_EQ("text/css; charset=utf-8", style->get_header_value("Content-Type"));

    httplib::Client client("127.0.0.1", port);
    for (const auto &answer : {client.Get("/"), client.Get("/nothing"), client.Head("/"),
                               client.Post("/", "x", "text/plain"), client.Delete("/api/runs")}) {
        ASSERT_TRUE(answer);
        EXPECT_EQ("default-src 'self'", answer->get_header_value("Content-Security-Policy"));
        EXPECT_EQ("nosniff", answer->get_header_value("X-Content-Type-Options"));
        EXPECT_EQ("no-store", answer->get_header_value("Cache-Control"));
    }
    EXPECT_EQ(200, client.Head("/")->status);
    EXPECT_EQ("", client.Head("/")->body);
    EXPECT_EQ(405, client.Post("/", "x", "text/plain")->status);
    EXPECT_EQ(405, client.Put("/api/runs", "x", "text/plain")->status);
    // Without a token, only a loopback name in Host is answered.
    for (const std::string host : {"localhost", "127.0.0.1:80", "[::1]:8080"})
        EXPECT_EQ(200, Get(port, "/", {{"Host", host}})->status) << host;
    for (const std::string host : {"evil.example", "evil.example:80", "127.0.0.1.evil.example", ""})
        EXPECT_EQ(403, Get(port, "/api/runs", {{"Host", host}})->status) << host;
    // The page stops with the server manager.
    EXPECT_EQ(0, StopProgram());
    EXPECT_FALSE(Get(port, "/"));
}

TEST_F(HttpTest, TokenIsAskedForEveryAnswer) {
    const std::string token = "k9-Zq4.w_7~rT2";
    rdtest::WriteFile(home_.Path("token"), token + "  \nsecond line\n");
    const int port =
        StartServing({"--http", "127.0.0.1:0", "--http-token-file", home_.Path("token")});
    ASSERT_NE(0, port);
    for (const std::string path : {"/", "/api/runs", "/runs/1", "/static/page.js"}) {
        auto answer = Get(port, path);
        ASSERT_TRUE(answer);
        EXPECT_EQ(401, answer->status) << path;
        EXPECT_EQ("Bearer", answer->get_header_value("WWW-Authenticate"));
    }
    std::string wrong = token;
    wrong.back() = 'X'; // the same length
    for (const httplib::Headers &headers :
         {httplib::Headers{{"Authorization", "Bearer " + wrong}},
          httplib::Headers{{"Authorization", "Bearer " + token + "2"}},
          httplib::Headers{{"Authorization", "Basic " + token}},
          httplib::Headers{{"Cookie", "rdcsm_token=" + wrong}}})
        EXPECT_EQ(401, Get(port, "/api/runs", headers)->status) << headers.begin()->second;
    EXPECT_EQ(401, Get(port, "/?token=" + wrong)->status);

    auto answer = Get(port, "/api/runs", {{"Authorization", "Bearer " + token}});
    EXPECT_EQ(200, answer->status);
    EXPECT_EQ("", answer->get_header_value("Set-Cookie"));
    answer = Get(port, "/?token=" + token);
    EXPECT_EQ(200, answer->status);
    EXPECT_EQ("rdcsm_token=" + token + "; Path=/; HttpOnly; SameSite=Strict",
              answer->get_header_value("Set-Cookie"));
    // The cookie then lets the page's links and fetches through.
    EXPECT_EQ(200,
              Get(port, "/api/runs", {{"Cookie", "theme=dark; rdcsm_token=" + token}})->status);
    EXPECT_EQ(200, Get(port, "/static/page.js", {{"Cookie", "rdcsm_token=" + token}})->status);
}

// Starts that serve nothing: the reason, exit status 1 and no pipe.
TEST_F(HttpTest, UnsafeOrBadSettingsAreRefusedAtStart) {
    rdtest::WriteFile(home_.Path("empty"), " \n");
    rdtest::WriteFile(home_.Path("token"), "good-token\n");
    rdtest::WriteFile(home_.Path("spaced"), "two words\n");
    const struct {
        std::string arguments, reason;
    } cases[] = {
        {"--http 0.0.0.0:0", "not a loopback address, without a token"},
        {"--http 192.0.2.1:8080", "not a loopback address, without a token"},
        {"--http '[::]:0'", "not a loopback address, without a token"},
        {"--http 70000", "is not ADDRESS:PORT or PORT"},
        {"--http 127.0.0.1:", "is not ADDRESS:PORT or PORT"},
        {"--http 0 --http-token-file " + Quoted(home_.Path("empty")), "has no token"},
        {"--http 0 --http-token-file " + Quoted(home_.Path("missing")), "cannot read a token"},
        {"--http 0 --http-token-file " + Quoted(home_.Path("spaced")), "visible ASCII"},
        {"--http-token-file " + Quoted(home_.Path("token")), "--http-token-file needs --http"},
    };
    for (const auto &c : cases) {
        const ToolRun run = RunTool(home_, "serve " + c.arguments);
        EXPECT_EQ(1, run.status) << c.arguments;
        EXPECT_TRUE(Has(run.err, c.reason)) << c.arguments << ": " << run.err;
        EXPECT_EQ(0, RDIPCExists("RDCSMP", 0)) << c.arguments;
    }
    // Another address with a token is served.
    const int port =
        StartServing({"--http", "0.0.0.0:0", "--http-token-file", home_.Path("token")});
    ASSERT_NE(0, port);
    EXPECT_TRUE(Has(rdtest::ReadFile(home_.Path("serve.out")), "status page on http://0.0.0.0:"));
    EXPECT_EQ(401, Get(port, "/")->status);
    EXPECT_EQ(200, Get(port, "/", {{"Authorization", "Bearer good-token"}})->status);
}

TEST_F(HttpTest, PortInUseIsAStartFailureAndQuarryIniNamesTheAddress) {
    ASSERT_EQ(0u, RDINISetString("Configuration", "Http", "127.0.0.1:0", "quarry.ini"));
    const int port = StartServing({});
    ASSERT_NE(0, port);
    EXPECT_EQ(200, Get(port, "/")->status);
    // A second server manager asked for the same port: refused before it
    // takes the pipe (which the first holds anyway).
    const ToolRun run = RunTool(home_, "serve --http 127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(1, run.status);
    EXPECT_TRUE(
        Has(run.err, "cannot listen on 127.0.0.1:" + std::to_string(port) + " for the status page"))
        << run.err;
    EXPECT_EQ(200, Get(port, "/")->status); // the first still serves
}

// A port no process listens on now: one the system chose, let go again.
int FreePort() {
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    EXPECT_EQ(0, bind(probe, reinterpret_cast<sockaddr *>(&address), size));
    EXPECT_EQ(0, getsockname(probe, reinterpret_cast<sockaddr *>(&address), &size));
    close(probe);
    return ntohs(address.sin_port);
}

TEST_F(HttpTest, ADetachedServerManagerTellsItsFixedPage) {
    const std::string port = std::to_string(FreePort());
    ToolRun run = RunTool(home_, "serve --detach --http " + port);
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_TRUE(Has(run.out, "rdcsm: status page on http://127.0.0.1:" + port + "/\n")) << run.out;
    auto page = Get(std::stoi(port), "/");
    EXPECT_TRUE(page && page->status == 200);
    run = RunTool(home_, "stop");
    EXPECT_EQ(0, run.status) << run.err;
    for (int i = 0; i < 1000 && RDIPCExists("RDCSMP", 0) != 0; ++i)
        usleep(10000);
}

} // namespace
} // namespace rdcsmtest
