// SPDX-License-Identifier: Apache-2.0
// Replacing a configuration file by a rewritten copy: the copy is written to
// a temporary file beside it and renamed over it, so the file is never lost
// or half-written, whatever fails on the way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace rdplat {

// The file that a rewrite of path replaces: path itself, or, for a link, the
// file it leads to, so that the link stays a link and the temporary file is
// made beside its target. Returns 0, 535 for a link made by another user
// than the caller or root (never followed for writing), or 536 for a link
// that leads nowhere or to a path that does not fit.
uint32_t RewriteTarget(const std::string &path, std::string &target);

// The temporary name for path: the file-name part cut at its first '.', then
// "1.tmp", "2.tmp", ... — the first name that cannot be opened for reading.
// nullopt when no name fits the path buffer.
std::optional<std::string> ChooseTempName(const std::string &path);

// Writes content to tempPath (created afresh) and renames it over path.
// Returns 0, 534 (a write failed), 535 (closing or renaming failed) or 536
// (the temporary file cannot be created). On failure the temporary file is
// removed and path is untouched.
uint32_t CommitRewrite(const std::string &path, const std::string &tempPath,
                       const std::string &content);

} // namespace rdplat
