// SPDX-License-Identifier: Apache-2.0
// A temporary PostgreSQL cluster for the tests: initdb and the server run
// as an unprivileged user (the server refuses root), in a temporary folder,
// reached through a Unix socket in that folder on a free port. One cluster
// serves a test program; its suites stop it when they end.
#pragma once

#include <string>
#include <vector>

namespace rdtest {

class PgCluster {
  public:
    // Starts the cluster once; an empty text when it runs, else the reason
    // it cannot.
    static const std::string &Start();
    static void Stop();
    // Restarts the server (fast shutdown: every connection ends); true once
    // it accepts connections again.
    static bool Restart();
    // Stops the server (fast shutdown) and starts it again on the same
    // data, socket and port; true when it did.
    static bool Halt();
    static bool Resume();
    static const std::string &Socket() { return socket_; }
    static const std::string &Port() { return port_; }

  private:
    // Starts the server on the cluster's data, socket folder and port.
    static bool StartServer();
    static std::string folder_, socket_, port_, failure_;
    static bool started_;
};

// The rows of sql run on the cluster's database "postgres", as texts
// joined by '|' ("<null>" for NULL); a failure fails the test.
std::vector<std::string> PgSql(const std::string &sql);

} // namespace rdtest
