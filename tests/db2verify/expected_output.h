// SPDX-License-Identifier: Apache-2.0
// The texts db2verify writes, assembled piece by piece for whole-output comparisons.
#pragma once

#include <string>

namespace db2test {

inline const std::string kBanner =
    "\n\nDB2 Connection Verification\n\nQuarry data-transfer engine\n" + std::string(44, '-') +
    "\n\nThis utility will verify connectivity from this machine to the \n"
    "specified DB2 server.\n\n"
    "At the prompts, enter a valid DB2 database, username, and password\n\n\n";

inline const std::string kTryAgain = "Try Again? [N] ";

// The three prompts, each with the value it offers as its default (none when empty).
inline std::string Prompts(const std::string &database, const std::string &user, bool passwordSet) {
    auto offered = [](const std::string &v) { return v.empty() ? "" : "[" + v + "] "; };
    return "   Database: " + offered(database) + "   Username: " + offered(user) +
           "   Password: " + (passwordSet ? "[********] " : "");
}

inline std::string Verified(const std::string &database, const std::string &user) {
    return "Attempting to connect to DB2 " + database + " as " + user +
           "\nSuccessfully Connected\nSuccessfully Disconnected\n\n"
           "Connectivity to DB2 Verified.\n\n";
}

inline std::string Failed(const std::string &database, const std::string &user,
                          const std::string &message, bool connected = false) {
    return "Attempting to connect to DB2 " + database + " as " + user +
           (connected ? "\nSuccessfully Connected\n" : "") +
           "\nError connecting to DB2 data source.\n" + (message.empty() ? "" : message + "\n") +
           "Connectivity test Fails.\n\n";
}

} // namespace db2test
