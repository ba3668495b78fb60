// SPDX-License-Identifier: Apache-2.0
// A temporary MariaDB server for the tests: a data folder made by
// mariadb-install-db and mariadbd run on it in a temporary folder, reached
// through a Unix socket there, and over TCP on 127.0.0.1 at a free port. Root may log in through
// the socket without a password; the tests connect as the user kUser with the password kPassword to
// the database kDatabase. One server serves a test program; its suites stop it when they end.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace rdtest {

class MariaServer {
  public:
    static constexpr const char *kUser = "rdtest";
    // Characters a URI must percent-encode, so that the tests see them read.
    static constexpr const char *kPassword = "p@ss:w/rd%1";
    static constexpr const char *kDatabase = "rdtest";

    // Starts the server once; an empty text when it runs, else the reason
    // it cannot (mariadbd missing, the data folder not made, no start).
    static const std::string &Start();
    static void Stop();
    // Kills the server with SIGKILL and waits for it to end; true when it
    // did. Resume starts it again on the same data (InnoDB recovers).
    static bool Kill();
    static bool Resume();
    static const std::string &Socket() { return socket_; }
    static const std::string &Port() { return port_; }

  private:
    static bool StartServer();
    static std::string folder_, socket_, port_, failure_;
    static pid_t pid_;
    static bool started_;
};

// The rows of sql run as root in the database kDatabase, as texts joined by
// '|' ("<null>" for NULL); a failure fails the test.
std::vector<std::string> MariaSql(const std::string &sql);

} // namespace rdtest
