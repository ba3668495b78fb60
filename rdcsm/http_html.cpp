// SPDX-License-Identifier: Apache-2.0
#include "http_html.h"

#include "report.h"
#include "statistics_text.h"
#include "visible_text.h"

#include <cmath>
#include <cstdio>

namespace rdcsm::http {

std::string Html(std::string_view text, bool visible) {
    std::string out;
    for (char c : visible ? std::string(text) : rdxc::VisibleText(text)) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string UrlPart(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string Json(std::string_view text, bool visible) {
    std::string out = "\"";
    for (unsigned char c : visible ? std::string(text) : rdxc::VisibleText(text)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string HeaderRow(std::initializer_list<const char *> names) {
    std::string row = "<tr>";
    for (const char *name : names)
        row += std::string("<th scope=\"col\">") + name + "</th>";
    return row + "</tr>";
}

std::string Cell(const char *cls, const std::string &html) {
    return std::string("<td class=\"") + cls + "\">" + html + "</td>";
}

std::string DurationText(int64_t ms) {
    char text[64];
    if (ms < 0) ms = 0;
    if (ms < 60000) {
        std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000);
    } else if (ms < 3600000) {
        std::snprintf(text, sizeof text, "%lld min %02lld s", static_cast<long long>(ms / 60000),
                      static_cast<long long>(ms / 1000 % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld h %02lld min", static_cast<long long>(ms / 3600000),
                      static_cast<long long>(ms / 60000 % 60));
    }
    return text;
}

std::string RateText(double perSecond) {
    if (!(perSecond > 0)) return "";
    return rdstats::Grouped(static_cast<uint64_t>(std::llround(perSecond))) + "/s";
}

std::string PercentText(std::optional<double> share) {
    if (!share) return "";
    return std::to_string(static_cast<int>(std::floor(*share * 100))) + "%";
}

std::string LeftText(std::optional<double> seconds) {
    if (!seconds) return "";
    return DurationText(static_cast<int64_t>(std::llround(*seconds * 1000)));
}

std::string ShownTime(int64_t ms) {
    const std::string text = TimeText(ms);
    const std::size_t dot = text.rfind('.');
    return dot == std::string::npos ? text : text.substr(0, dot);
}

} // namespace rdcsm::http
