// SPDX-License-Identifier: Apache-2.0
#include "jobfile_suggest.h"

#include "rdplat.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>

namespace rdcsm {

namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Edits from a to b (insert, delete, change, or swap two neighbours:
// the optimal string alignment distance), without regard to letter case.
std::size_t Distance(std::string_view a, std::string_view b) {
    const std::size_t width = b.size() + 1;
    std::vector<std::size_t> d((a.size() + 1) * width);
    auto at = [&](std::size_t i, std::size_t j) -> std::size_t & { return d[i * width + j]; };
    for (std::size_t i = 0; i <= a.size(); ++i)
        at(i, 0) = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        at(0, j) = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = Lower(a[i - 1]) == Lower(b[j - 1]);
            at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + !same});
            if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) &&
                Lower(a[i - 2]) == Lower(b[j - 1]))
                at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
        }
    return at(a.size(), b.size());
}

} // namespace

std::string Closest(std::string_view word, const std::vector<std::string> &candidates) {
    // Names longer than this are no slip of the hand; the bound also keeps
    // the work small for hostile keys.
    constexpr std::size_t kLongest = 64;
    if (word.size() > kLongest) return {};
    const std::size_t most = std::max<std::size_t>(1, word.size() / 3);
    std::string best;
    std::size_t bestDistance = most + 1;
    for (const std::string &candidate : candidates) {
        const std::size_t apart = candidate.size() > word.size() ? candidate.size() - word.size()
                                                                 : word.size() - candidate.size();
        // The name itself is no suggestion: its file is there but does not load.
        if (candidate.size() > kLongest || apart > most || candidate == word) continue;
        const std::size_t distance = Distance(word, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

std::string DidYouMean(std::string_view word, const std::vector<std::string> &candidates) {
    const std::string closest = Closest(word, candidates);
    return closest.empty() ? std::string() : " (did you mean `" + closest + "`?)";
}

std::string DidYouMeanWords(std::string_view word, const std::vector<std::string> &candidates) {
    const std::string closest = Closest(word, candidates);
    return closest.empty() ? std::string() : "; did you mean `" + closest + "`?";
}

std::vector<std::string> HomeConnectors() {
    std::vector<std::string> names;
    const char *home = RDFileExeDir();
    if (home == nullptr || *home == '\0') return names;
    DIR *folder = opendir(home);
    if (folder == nullptr) return names;
    constexpr std::string_view kSuffix = ".rdx";
    while (const dirent *entry = readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name.size() > kSuffix.size() && name.ends_with(kSuffix))
            names.emplace_back(name.substr(0, name.size() - kSuffix.size()));
    }
    closedir(folder);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace rdcsm
