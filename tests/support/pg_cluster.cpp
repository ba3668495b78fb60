// SPDX-License-Identifier: Apache-2.0
#include "pg_cluster.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rdtest {

std::string PgCluster::folder_, PgCluster::socket_, PgCluster::port_, PgCluster::failure_;
bool PgCluster::started_ = false;

namespace {

const std::string kBin = "/usr/lib/postgresql/15/bin/";

// A TCP port no one listens on now: the socket file is named after it.
std::string FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(s, reinterpret_cast<sockaddr *>(&address), size);
    getsockname(s, reinterpret_cast<sockaddr *>(&address), &size);
    close(s);
    return std::to_string(ntohs(address.sin_port));
}

// The command run as the unprivileged user when the tests run as root.
std::string AsServerUser(const std::string &command) {
    return geteuid() == 0 ? "cd / && runuser -u nobody -- " + command : command;
}

int Shell(const std::string &command) {
    return std::system(command.c_str());
}

} // namespace

const std::string &PgCluster::Start() {
    if (started_ || !failure_.empty()) return failure_;
    if (access((kBin + "initdb").c_str(), X_OK) != 0) {
        failure_ = kBin + "initdb is missing (Debian package postgresql)";
        return failure_;
    }
    if (geteuid() == 0 && getpwnam("nobody") == nullptr) {
        failure_ = "running as root and no user nobody to run the server";
        return failure_;
    }
    char folder[] = "/tmp/rdpgtest.XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        failure_ = "no temporary folder";
        return failure_;
    }
    folder_ = folder;
    socket_ = folder_;
    port_ = FreePort();
    const std::string data = folder_ + "/data";
    Shell("chmod 755 " + folder_);
    if (geteuid() == 0) Shell("chown nobody " + folder_);
    if (Shell(AsServerUser(kBin + "initdb -D " + data +
                           " -A trust -U postgres -E UTF8 --no-locale >" + folder_ +
                           "/initdb.log 2>&1")) != 0) {
        failure_ = "initdb failed, see " + folder_ + "/initdb.log";
        return failure_;
    }
    if (!StartServer()) {
        failure_ = "the server did not start, see " + folder_ + "/server.log";
        return failure_;
    }
    started_ = true;
    return failure_;
}

void PgCluster::Stop() {
    if (!started_) return;
    Shell(AsServerUser(kBin + "pg_ctl -D " + folder_ + "/data -m immediate stop >/dev/null"));
    Shell("rm -rf " + folder_);
    started_ = false;
}

bool PgCluster::Restart() {
    if (!started_) return false;
    return Shell(AsServerUser(kBin + "pg_ctl -D " + folder_ + "/data -w -m fast -l " + folder_ +
                              "/server.log restart >/dev/null")) == 0;
}

bool PgCluster::Halt() {
    if (!started_) return false;
    return Shell(AsServerUser(kBin + "pg_ctl -D " + folder_ +
                              "/data -w -m fast stop >/dev/null")) == 0;
}

bool PgCluster::Resume() {
    return started_ && StartServer();
}

bool PgCluster::StartServer() {
    return Shell(AsServerUser(kBin + "pg_ctl -D " + folder_ + "/data -w -l " + folder_ +
                              "/server.log -o \"-k " + folder_ + " -p " + port_ +
                              " -c listen_addresses='' -c fsync=off\" start >/dev/null")) == 0;
}

std::vector<std::string> PgSql(const std::string &sql) {
    const std::string info = "host=" + PgCluster::Socket() + " port=" + PgCluster::Port() +
                             " user=postgres dbname=postgres client_encoding=UTF8";
    PGconn *db = PQconnectdb(info.c_str());
    EXPECT_EQ(CONNECTION_OK, PQstatus(db)) << PQerrorMessage(db);
    PGresult *result = PQexec(db, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    EXPECT_TRUE(status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) << PQerrorMessage(db);
    std::vector<std::string> rows;
    for (int r = 0; r < PQntuples(result); ++r) {
        std::string row;
        for (int f = 0; f < PQnfields(result); ++f)
            row += (f > 0 ? "|" : "") +
                   std::string(PQgetisnull(result, r, f) ? "<null>" : PQgetvalue(result, r, f));
        rows.push_back(row);
    }
    PQclear(result);
    PQfinish(db);
    return rows;
}

} // namespace rdtest
