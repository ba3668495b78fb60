// SPDX-License-Identifier: Apache-2.0
// The status page's HTTP server: read-only pages and JSON of the runs,
// served on threads of its own beside the pipe server, until the server
// manager stops. It listens on the loopback address unless told otherwise;
// another address needs a token (file's first line), given as
// "Authorization: Bearer TOKEN" or "?token=TOKEN" (which sets a cookie so
// that the page's links and fetches carry it). Only GET and HEAD are
// answered; every answer forbids inline script, sniffing and caching.
#pragma once

#include "requests.h"

#include <memory>
#include <string>
#include <string_view>

namespace rdcsm::http {

struct HttpSettings {
    bool enabled = false;
    std::string address = "127.0.0.1";
    int port = 0;      // 0: any free port
    std::string token; // empty: none asked
};

// "ADDRESS:PORT", "[IPV6]:PORT" or "PORT" (on 127.0.0.1) into settings.
bool ParseHttpAddress(const std::string &text, HttpSettings &settings, std::string &error);

// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopback(const std::string &address);

// The token: the file's first line without surrounding blanks. False with
// error set for a file that cannot be read, an empty token or one with
// characters a cookie cannot carry.
bool ReadToken(const std::string &file, std::string &token, std::string &error);

// The settings of `serve`: --http (else Http= of the home's quarry.ini)
// and --http-token-file. False with error set for a bad address, a bad
// token file, or an address other than loopback without a token.
bool ChooseHttp(const std::string &given, const std::string &tokenFile, HttpSettings &settings,
                std::string &error);

// Compares a token given by a client with the server's, in time that
// depends only on the server's token's length.
bool TokenMatches(std::string_view given, std::string_view token);

// "http://ADDRESS:PORT/", an IPv6 address in brackets.
std::string PageUrl(const std::string &address, int port);

class HttpServer {
  public:
    HttpServer(ServerState &state, HttpSettings settings);
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Binds and starts serving; false with error set when the address cannot
    // be listened on (such as a port in use).
    bool Start(std::string &error);
    // The page's address, its port the bound one: "http://127.0.0.1:8080/".
    std::string Url() const;
    // Stops serving and joins its threads (also done by the destructor).
    void Stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace rdcsm::http
