// SPDX-License-Identifier: Apache-2.0
#include "http_server.h"

#include "http_routes.h"

#include "rdplat_ini.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <fstream>
#include <pthread.h>
#include <thread>

namespace rdcsm::http {

namespace {

constexpr const char *kCookie = "rdcsm_token";
// Threads answering requests, and the longest a token file's line may be.
constexpr std::size_t kThreads = 4, kTokenMax = 4096;

std::string Trimmed(const std::string &text) {
    const char *blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) + 1 - first);
}

// What a cookie value can carry unquoted.
bool CookieSafe(const std::string &token) {
    for (unsigned char c : token)
        if (c <= 0x20 || c >= 0x7F || c == ';' || c == ',' || c == '"' || c == '\\') return false;
    return true;
}

// The token a request carries: the bearer header, the query's token, or
// the cookie; fromQuery tells which.
std::string GivenToken(const httplib::Request &request, bool &fromQuery) {
    fromQuery = false;
    const std::string authorization = request.get_header_value("Authorization");
    if (authorization.rfind("Bearer ", 0) == 0) return authorization.substr(7);
    if (request.has_param("token")) {
        fromQuery = true;
        return request.get_param_value("token");
    }
    const std::string cookies = request.get_header_value("Cookie");
    const std::string name = std::string(kCookie) + "=";
    for (std::size_t at = 0; at < cookies.size();) {
        std::size_t end = cookies.find(';', at);
        if (end == std::string::npos) end = cookies.size();
        const std::string cookie = Trimmed(cookies.substr(at, end - at));
        if (cookie.rfind(name, 0) == 0) return cookie.substr(name.size());
        at = end + 1;
    }
    return {};
}

// The host a Host header names, without its port and brackets.
std::string HostOf(const std::string &header) {
    if (!header.empty() && header.front() == '[') return header.substr(1, header.find(']') - 1);
    return header.substr(0, header.find(':'));
}

std::map<std::string, std::string> Query(const httplib::Request &request) {
    std::map<std::string, std::string> query;
    for (const auto &[key, value] : request.params)
        query.emplace(key, value); // the first of a repeated key
    return query;
}

std::string HomeHttpKey() {
    char value[RDINI_LINE_MAX + 1] = {};
    if (RDINIGetString("Configuration", "Http", value, "quarry.ini") != 0) return {};
    return Trimmed(value);
}

} // namespace

bool ParseHttpAddress(const std::string &text, HttpSettings &settings, std::string &error) {
    std::string address = "127.0.0.1", port = text;
    const std::size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
    }
    int number = -1;
    const char *end = port.data() + port.size();
    const auto read = std::from_chars(port.data(), end, number);
    if (address.empty() || port.empty() || read.ec != std::errc() || read.ptr != end ||
        number < 0 || number > 65535) {
        error = "the status page's address '" + text +
                "' is not ADDRESS:PORT or PORT (a port from 0 to 65535)";
        return false;
    }
    settings.enabled = true;
    settings.address = address;
    settings.port = number;
    return true;
}

bool IsLoopback(const std::string &address) {
    if (address == "localhost") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

bool ReadToken(const std::string &file, std::string &token, std::string &error) {
    std::ifstream in(file, std::ios::binary);
    std::string text(kTokenMax, '\0');
    if (!in || !in.read(text.data(), static_cast<std::streamsize>(text.size())).gcount()) {
        error = "cannot read a token from the token file " + file;
        return false;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    token = Trimmed(text.substr(0, text.find('\n')));
    if (token.empty()) {
        error = "the token file " + file + " has no token on its first line";
        return false;
    }
    if (!CookieSafe(token)) {
        error = "the token of " + file +
                " holds a character other than visible ASCII, or one of ; , \" \\";
        return false;
    }
    return true;
}

bool ChooseHttp(const std::string &given, const std::string &tokenFile, HttpSettings &settings,
                std::string &error) {
    const std::string address = given.empty() ? HomeHttpKey() : given;
    if (address.empty()) {
        if (tokenFile.empty()) return true;
        error = "--http-token-file needs --http (or Http= in quarry.ini)";
        return false;
    }
    if (!ParseHttpAddress(address, settings, error)) return false;
    if (!tokenFile.empty() && !ReadToken(tokenFile, settings.token, error)) return false;
    if (settings.token.empty() && !IsLoopback(settings.address)) {
        error = "the status page would listen on " + settings.address +
                ", which is not a loopback address, without a token: give one with "
                "--http-token-file FILE, or listen on 127.0.0.1";
        return false;
    }
    return true;
}

bool TokenMatches(std::string_view given, std::string_view token) {
    unsigned difference = given.size() != token.size() ? 1u : 0u;
    for (std::size_t i = 0; i < token.size(); ++i)
        difference |= static_cast<unsigned char>(token[i]) ^
                      static_cast<unsigned char>(i < given.size() ? given[i] : 0);
    return difference == 0;
}

struct HttpServer::Impl {
    ServerState &state;
    HttpSettings settings;
    httplib::Server server;
    std::thread listener;
    std::atomic<bool> ended{false};
    int port = 0;

    // Headers, method and token: what every request passes before routing.
    httplib::Server::HandlerResponse Admit(const httplib::Request &request,
                                           httplib::Response &response) {
        using Answer = httplib::Server::HandlerResponse;
        if (request.method != "GET" && request.method != "HEAD") {
            response.status = 405;
            response.set_header("Allow", "GET, HEAD");
            response.set_content("only GET and HEAD are answered\n", "text/plain");
            return Answer::Handled;
        }
        // Without a token only pages asked for by a loopback name are
        // answered, so that a web site whose name is made to lead to this
        // machine (DNS rebinding) cannot read them through a browser.
        if (settings.token.empty()) {
            if (IsLoopback(HostOf(request.get_header_value("Host")))) return Answer::Unhandled;
            response.status = 403;
            response.set_content("without a token, the page answers requests for 127.0.0.1 "
                                 "or localhost only\n",
                                 "text/plain");
            return Answer::Handled;
        }
        bool fromQuery = false;
        if (!TokenMatches(GivenToken(request, fromQuery), settings.token)) {
            response.status = 401;
            response.set_header("WWW-Authenticate", "Bearer");
            response.set_content("a valid token is needed\n", "text/plain");
            return Answer::Handled;
        }
        if (fromQuery)
            response.set_header("Set-Cookie", std::string(kCookie) + "=" + settings.token +
                                                  "; Path=/; HttpOnly; SameSite=Strict");
        return Answer::Unhandled;
    }

    void Serve(const httplib::Request &request, httplib::Response &response) {
        const Reply reply = Route(state, request.path, Query(request));
        response.status = reply.status;
        response.set_content(reply.body, reply.type.c_str());
    }
};

HttpServer::HttpServer(ServerState &state, HttpSettings settings)
    : impl_(new Impl{state, std::move(settings), {}, {}, {}, 0}) {}

HttpServer::~HttpServer() {
    Stop();
}

bool HttpServer::Start(std::string &error) {
    Impl &impl = *impl_;
    httplib::Server &server = impl.server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    // Without the library's SO_REUSEPORT, so that a port another process
    // listens on is refused rather than shared with it.
    server.set_socket_options([](int socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_keep_alive_timeout(1);
    server.set_read_timeout(5, 0);
    server.set_write_timeout(5, 0);
    server.set_default_headers({{"Content-Security-Policy", "default-src 'self'"},
                                {"X-Content-Type-Options", "nosniff"},
                                {"Cache-Control", "no-store"},
                                {"Referrer-Policy", "no-referrer"}});
    server.set_pre_routing_handler(
        [&impl](const httplib::Request &request, httplib::Response &response) {
            return impl.Admit(request, response);
        });
    server.Get(R"(/.*)", [&impl](const httplib::Request &request, httplib::Response &response) {
        impl.Serve(request, response);
    });
    const std::string shown = impl.settings.address + ":" + std::to_string(impl.settings.port);
    if (impl.settings.port == 0)
        impl.port = server.bind_to_any_port(impl.settings.address);
    else if (server.bind_to_port(impl.settings.address, impl.settings.port))
        impl.port = impl.settings.port;
    if (impl.port <= 0) {
        error = "cannot listen on " + shown +
                " for the status page: the port is in use, or the address is not one of this "
                "machine's";
        return false;
    }
    impl.listener = std::thread([&server, &impl] {
        // A client that goes away mid-answer must not end the process: the
        // write fails with EPIPE instead (the answering threads inherit it).
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        server.listen_after_bind();
        impl.ended = true;
    });
    // A stop before the loop runs would not end it.
    while (!server.is_running() && !impl.ended)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

std::string PageUrl(const std::string &address, int port) {
    const bool v6 = address.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port) + "/";
}

std::string HttpServer::Url() const {
    return PageUrl(impl_->settings.address, impl_->port);
}

void HttpServer::Stop() {
    if (!impl_->listener.joinable()) return;
    impl_->server.stop();
    impl_->listener.join();
}

} // namespace rdcsm::http
