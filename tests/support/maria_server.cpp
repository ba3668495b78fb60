// SPDX-License-Identifier: Apache-2.0
#include "maria_server.h"

#include <gtest/gtest.h>
#include <mysql.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace rdtest {

std::string MariaServer::folder_, MariaServer::socket_, MariaServer::port_, MariaServer::failure_;
pid_t MariaServer::pid_ = -1;
bool MariaServer::started_ = false;

namespace {

const char *const kServer = "/usr/sbin/mariadbd";

// The installer under either of its names.
std::string Installer() {
    for (const char *path : {"/usr/bin/mariadb-install-db", "/usr/bin/mysql_install_db",
                             "/usr/scripts/mariadb-install-db"})
        if (access(path, X_OK) == 0) return path;
    return std::string();
}

// A TCP port no one listens on now.
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

// The server refuses to run as root unless told to.
std::string UserOption() {
    return geteuid() == 0 ? " --user=root" : "";
}

// A root session through the socket; null (with the reason) when none.
MYSQL *RootSession(const std::string &socket, std::string *why = nullptr) {
    MYSQL *db = mysql_init(nullptr);
    mysql_options(db, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    if (mysql_real_connect(db, nullptr, "root", nullptr, nullptr, 0, socket.c_str(),
                           CLIENT_MULTI_STATEMENTS) != nullptr)
        return db;
    if (why != nullptr) *why = mysql_error(db);
    mysql_close(db);
    return nullptr;
}

bool RunAll(MYSQL *db, const std::string &sql) {
    if (mysql_query(db, sql.c_str()) != 0) return false;
    do {
        if (MYSQL_RES *rows = mysql_store_result(db)) mysql_free_result(rows);
    } while (mysql_next_result(db) == 0);
    return mysql_errno(db) == 0;
}

} // namespace

const std::string &MariaServer::Start() {
    if (started_ || !failure_.empty()) return failure_;
    const std::string installer = Installer();
    if (access(kServer, X_OK) != 0 || installer.empty()) {
        failure_ = std::string(kServer) +
                   " or mariadb-install-db is missing (Debian package mariadb-server)";
        return failure_;
    }
    char folder[] = "/tmp/rdmariatest.XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        failure_ = "no temporary folder";
        return failure_;
    }
    folder_ = folder;
    socket_ = folder_ + "/sock";
    port_ = FreePort();
    // Temporary tables of their own: servers of test programs run side by
    // side would take each other's in a shared /tmp.
    const std::string temporary = folder_ + "/tmp";
    mkdir(temporary.c_str(), 0700);
    const std::string command = "TMPDIR=" + temporary + " " + installer +
                                " --no-defaults --datadir=" + folder_ + "/data" + UserOption() +
                                " --auth-root-authentication-method=normal --skip-test-db >" +
                                folder_ + "/install.log 2>&1";
    if (std::system(command.c_str()) != 0) {
        failure_ = "mariadb-install-db failed, see " + folder_ + "/install.log";
        return failure_;
    }
    if (!StartServer()) {
        failure_ = "the server did not start, see " + folder_ + "/server.log";
        return failure_;
    }
    MYSQL *db = RootSession(socket_);
    const std::string setup = std::string("CREATE DATABASE ") + kDatabase + "; CREATE USER '" +
                              kUser + "'@'localhost' IDENTIFIED BY '" + kPassword +
                              "'; GRANT ALL ON *.* TO '" + kUser + "'@'localhost'";
    if (db == nullptr || !RunAll(db, setup)) {
        failure_ = std::string("the test user cannot be made: ") +
                   (db != nullptr ? mysql_error(db) : "no root session");
        if (db != nullptr) mysql_close(db);
        return failure_;
    }
    mysql_close(db);
    started_ = true;
    return failure_;
}

bool MariaServer::StartServer() {
    const std::string data = "--datadir=" + folder_ + "/data";
    const std::string socket = "--socket=" + socket_;
    const std::string pidFile = "--pid-file=" + folder_ + "/server.pid";
    const std::string log = "--log-error=" + folder_ + "/server.log";
    const std::string port = "--port=" + port_;
    const std::string temporary = "--tmpdir=" + folder_ + "/tmp";
    pid_ = fork();
    if (pid_ == 0) {
        // The server ends with the test program, even one that crashed.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        // What the server says before its log is open goes to a file too.
        const std::string early = folder_ + "/server.err";
        if (int file = open(early.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644); file >= 0)
            dup2(file, 2);
        // Small buffers; commits written to the system at once but not
        // synced, which outlives a killed server.
        if (geteuid() == 0)
            execl(kServer, kServer, "--no-defaults", data.c_str(), socket.c_str(), pidFile.c_str(),
                  log.c_str(), port.c_str(), temporary.c_str(), "--bind-address=127.0.0.1",
                  "--innodb-buffer-pool-size=32M", "--innodb-flush-log-at-trx-commit=2",
                  "--open-files-limit=4096", "--user=root", static_cast<char *>(nullptr));
        else
            execl(kServer, kServer, "--no-defaults", data.c_str(), socket.c_str(), pidFile.c_str(),
                  log.c_str(), port.c_str(), temporary.c_str(), "--bind-address=127.0.0.1",
                  "--innodb-buffer-pool-size=32M", "--innodb-flush-log-at-trx-commit=2",
                  "--open-files-limit=4096", static_cast<char *>(nullptr));
        _exit(127);
    }
    if (pid_ < 0) return false;
    for (int tries = 0; tries < 600; ++tries) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        if (MYSQL *db = RootSession(socket_)) {
            mysql_close(db);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Kill();
    return false;
}

void MariaServer::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    if (!folder_.empty()) std::system(("rm -rf " + folder_).c_str());
    folder_.clear();
    started_ = false;
}

bool MariaServer::Kill() {
    if (pid_ <= 0) return false;
    kill(pid_, SIGKILL);
    int status = 0;
    const bool ended = waitpid(pid_, &status, 0) == pid_;
    pid_ = -1;
    return ended;
}

bool MariaServer::Resume() {
    return !folder_.empty() && pid_ <= 0 && StartServer();
}

std::vector<std::string> MariaSql(const std::string &sql) {
    std::vector<std::string> rows;
    MYSQL *db = RootSession(MariaServer::Socket());
    EXPECT_NE(nullptr, db);
    if (db == nullptr) return rows;
    EXPECT_EQ(0, mysql_select_db(db, MariaServer::kDatabase)) << mysql_error(db);
    EXPECT_EQ(0, mysql_query(db, sql.c_str())) << mysql_error(db) << "\n" << sql;
    do {
        MYSQL_RES *result = mysql_store_result(db);
        if (result == nullptr) continue;
        const unsigned columns = mysql_num_fields(result);
        rows.clear(); // the last result's rows
        while (MYSQL_ROW row = mysql_fetch_row(result)) {
            const unsigned long *lengths = mysql_fetch_lengths(result);
            std::string text;
            for (unsigned c = 0; c < columns; ++c)
                text += (c > 0 ? "|" : "") + (row[c] == nullptr ? std::string("<null>")
                                                                : std::string(row[c], lengths[c]));
            rows.push_back(text);
        }
        mysql_free_result(result);
    } while (mysql_next_result(db) == 0);
    EXPECT_EQ(0u, mysql_errno(db)) << mysql_error(db);
    mysql_close(db);
    return rows;
}

} // namespace rdtest
