// SPDX-License-Identifier: Apache-2.0
// The page's script and style sheet (rdcsm/web/), built into the program.
#pragma once

namespace rdcsm::http {

extern const char kPageJs[];
extern const char kPageCss[];

} // namespace rdcsm::http
