// SPDX-License-Identifier: Apache-2.0
// Text of the store made safe for the status page: every stored name, log
// text and host name goes through one of these before it reaches HTML, an
// attribute, a URL or JSON, so that none can become markup or script.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace rdcsm::http {

// A stored text for HTML text or a quoted attribute: controls and broken
// UTF-8 made visible, then & < > " ' as character references.
// A text already made visible (a report's lines) keeps its line breaks.
std::string Html(std::string_view text, bool visible = false);

// A text as one URL path segment or query value: every byte but the
// unreserved ones percent-encoded.
std::string UrlPart(std::string_view text);

// A stored text as a JSON string with its quotes: made visible, then " \ and
// controls escaped, and < > & as \u003c \u003e \u0026 so that the JSON
// cannot close a script element or start markup wherever it is pasted.
std::string Json(std::string_view text, bool visible = false);

// A header row of a table: <tr><th scope="col">NAME</th>...</tr>.
std::string HeaderRow(std::initializer_list<const char *> names);

// <td class="CLASS">HTML</td>: the content is already HTML.
std::string Cell(const char *cls, const std::string &html);

// How the page shows a time span, a count, a rate, a share and a time:
// "12.3 s", "4 min 05 s", "2 h 03 min"; "874,200"; "1,204/s"; "38%";
// "2026-12-08 10:30:35" (UTC).
std::string DurationText(int64_t ms);
std::string RateText(double perSecond);
std::string PercentText(std::optional<double> share);
std::string LeftText(std::optional<double> seconds);
std::string ShownTime(int64_t ms);

} // namespace rdcsm::http
