// SPDX-License-Identifier: Apache-2.0
// Suggestions for a misspelt name in a job file: the closest of the names
// that would have been right.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rdcsm {

// The candidate closest to word in edits (letter case ignored, a swap of
// two neighbours one edit), when
// it is close enough to be a slip: at most a third of the word's length
// (and at least 1) edits away. Empty when none is.
std::string Closest(std::string_view word, const std::vector<std::string> &candidates);

// " (did you mean `NAME`?)" for the closest candidate, or empty.
std::string DidYouMean(std::string_view word, const std::vector<std::string> &candidates);

// "; did you mean `NAME`?" for the closest candidate, or empty: for a hint
// inside parentheses.
std::string DidYouMeanWords(std::string_view word, const std::vector<std::string> &candidates);

// The names of the connectors in the home directory (its NAME.rdx files).
std::vector<std::string> HomeConnectors();

} // namespace rdcsm
