// SPDX-License-Identifier: Apache-2.0
// Readiness for a service manager: the datagram of systemd's notification
// protocol sent to the socket that NOTIFY_SOCKET names.
#pragma once

#include <string>

namespace rdcsm {

// Sends STATE (e.g. "READY=1") to the socket NOTIFY_SOCKET names, a path or
// "@name" for an abstract socket, and takes the variable out of the
// environment so that children do not speak for this process. True when
// sent or when no socket is named; false with *failure set otherwise.
bool NotifyServiceManager(const std::string &state, std::string *failure);

} // namespace rdcsm
