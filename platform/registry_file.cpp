// SPDX-License-Identifier: Apache-2.0
#include "registry_file.h"

#include <algorithm>

namespace rdplat::registry {

namespace {

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = AsciiLower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

void AppendHex(std::string &out, unsigned char c) {
    static constexpr char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[c >> 4];
    out += digits[c & 15];
}

// Position of the first '=' that is not escaped, or npos.
size_t FindSeparator(std::string_view line) {
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\')
            ++i;
        else if (line[i] == '=')
            return i;
    }
    return std::string_view::npos;
}

Key &KeyFor(Document &doc, std::string_view path) {
    if (Key *key = FindKey(doc, path)) return *key;
    doc.keys.push_back(Key{std::string(path), {}});
    return doc.keys.back();
}

void AddVerbatim(Document &doc, Key *current, std::string_view line) {
    if (current != nullptr)
        current->items.push_back(Item{false, std::string(line), {}});
    else
        doc.preamble.emplace_back(line);
}

// Reads one line into the document; returns the key that is now current.
Key *ParseLine(Document &doc, Key *current, std::string_view line) {
    size_t close = line.rfind(']');
    if (line.front() == '[' && close != std::string_view::npos)
        return &KeyFor(doc, NormalizePath(line.substr(1, close - 1)));
    size_t eq = FindSeparator(line);
    if (line.front() == ';' || current == nullptr || eq == std::string_view::npos) {
        AddVerbatim(doc, current, line);
        return current;
    }
    current->items.push_back(
        Item{true, Unescape(line.substr(0, eq)), Unescape(line.substr(eq + 1))});
    return current;
}

} // namespace

std::string Escape(std::string_view text, bool isName) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (IsControl(static_cast<unsigned char>(c)))
                AppendHex(out, static_cast<unsigned char>(c));
            else if (isName && (c == '=' || (i == 0 && (c == '[' || c == ';'))))
                out += {'\\', c};
            else
                out += c;
        }
    }
    return out;
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        if (c == 'n')
            out += '\n';
        else if (c == 'r')
            out += '\r';
        else if (c == 't')
            out += '\t';
        else if (c == '\\' || c == '=' || c == '[' || c == ';')
            out += c;
        else if (c == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
                 HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += '\\'; // an unknown escape stands for itself
            out += c;
        }
    }
    return out;
}

Document Parse(std::string_view text) {
    Document doc;
    Key *current = nullptr;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // Written lines never end in a raw CR: drop those of CRLF files.
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty()) continue;
        // Only a new key grows doc.keys, and then it becomes the current one.
        current = ParseLine(doc, current, line);
    }
    return doc;
}

std::string Serialize(const Document &doc) {
    std::string out;
    for (const std::string &line : doc.preamble)
        out += line + '\n';
    for (const Key &key : doc.keys) {
        if (!out.empty()) out += '\n';
        out += '[' + key.path + "]\n";
        for (const Item &item : key.items) {
            if (item.isValue)
                out += Escape(item.name, true) + '=' + Escape(item.data, false) + '\n';
            else
                out += item.name + '\n';
        }
    }
    return out;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

std::string_view NormalizePath(std::string_view path) {
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return path;
}

Key *FindKey(Document &doc, std::string_view path) {
    for (Key &key : doc.keys)
        if (SameName(key.path, path)) return &key;
    return nullptr;
}

const Key *FindKey(const Document &doc, std::string_view path) {
    return FindKey(const_cast<Document &>(doc), path);
}

bool KeyExists(const Document &doc, std::string_view path) {
    if (path.empty()) return true;
    for (const Key &key : doc.keys) {
        std::string_view stored = key.path;
        if (stored.size() < path.size()) continue;
        if (stored.size() > path.size() && stored[path.size()] != '\\') continue;
        if (SameName(stored.substr(0, path.size()), path)) return true;
    }
    return false;
}

const Item *FindValue(const Key &key, std::string_view name) {
    for (const Item &item : key.items)
        if (item.isValue && SameName(item.name, name)) return &item;
    return nullptr;
}

} // namespace rdplat::registry
