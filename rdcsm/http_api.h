// SPDX-License-Identifier: Apache-2.0
// The status page's JSON API: runs, a run, activities, an activity. Every
// text from the store is a JSON string with < > & escaped (http_html.h),
// so an answer is safe to show or embed. A run object carries, beside the
// figures, the texts the page shows for them ("shown"), so that the page's
// script fills its cells exactly as the server drew them.
#pragma once

#include "http_charts.h"
#include "http_runs.h"

#include <string>
#include <vector>

namespace rdcsm::http {

std::string RunJson(const RunView &run);
// {"runs":[...]}: newest first.
std::string RunsJson(const std::vector<RunView> &runs);
// The run with its log, statistics and throughput line.
std::string RunDetailJson(const RunDetail &detail);
// {"activities":[{"name":..,"last_run":RUN|null}]}
std::string ActivitiesJson(const std::vector<ActivityRow> &activities);
// The activity's masked definition and its recent runs (oldest first).
std::string ActivityJson(const ActivityDetail &activity);
// {"error":"..."} for a refused request.
std::string ErrorJson(const std::string &message);

} // namespace rdcsm::http
