// SPDX-License-Identifier: Apache-2.0
// The text form of the registry file and its in-memory document.
//
//   ; comment lines (and lines that cannot be read) are kept as they are
//   [Software\Orvale\Components\App]
//   Path=/opt/app
//   Motto=first line\nsecond line
//
// A "[path]" line starts a key; the key path is written as it is, backslashes
// included. Each following "name=data" line is a value of that key. Names
// and data escape '\' as \\, line feed as \n, carriage return as \r, tab as
// \t and every other control byte as \xHH; names also escape '=' as \= and a
// leading '[' or ';' as \[ or \;, so that every value stays on one line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rdplat::registry {

// One line inside a key: a value, or a line kept verbatim.
struct Item {
    bool isValue = true;
    std::string name; // the value name, or the whole line when !isValue
    std::string data;
};

struct Key {
    std::string path; // normalised: no trailing backslash
    std::vector<Item> items;
};

struct Document {
    std::vector<std::string> preamble; // verbatim lines before the first key
    std::vector<Key> keys;
};

// Parses any text without failing: unreadable lines are kept verbatim, keys
// that appear twice (in any case) are merged, CRs that end a line are dropped.
Document Parse(std::string_view text);
std::string Serialize(const Document &doc);

std::string Escape(std::string_view text, bool isName);
std::string Unescape(std::string_view text);

// Registry names compare without regard to ASCII case.
bool SameName(std::string_view a, std::string_view b);
// Drops trailing backslashes: "A\B\" names the key "A\B".
std::string_view NormalizePath(std::string_view path);

Key *FindKey(Document &doc, std::string_view path);
const Key *FindKey(const Document &doc, std::string_view path);
// A key exists when it or one of its subkeys is stored; the root always does.
bool KeyExists(const Document &doc, std::string_view path);
const Item *FindValue(const Key &key, std::string_view name);

} // namespace rdplat::registry
