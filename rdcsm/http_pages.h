// SPDX-License-Identifier: Apache-2.0
// The status page's HTML: the runs, a run, an activity, and an error page.
// Each works without script (tables and inline SVG); /static/page.js then
// keeps the live cells of the runs and of a running run up to date.
#pragma once

#include "http_runs.h"

#include <string>
#include <vector>

namespace rdcsm::http {

std::string RunsPage(const std::vector<RunView> &runs, const RunFilter &filter);
std::string RunPage(const RunDetail &detail);
std::string ActivityPage(const ActivityDetail &activity);
std::string ErrorPage(int status, const std::string &message);

} // namespace rdcsm::http
