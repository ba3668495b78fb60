// SPDX-License-Identifier: Apache-2.0
// The folder that holds the pipes: $RD_PIPE_DIR, or else a folder of the
// platform's home directory, so that two homes of one user never share a
// pipe. Every folder of the user's on the way is private to the user.
#pragma once

#include <string>

namespace rdplat::ipc {

enum class FolderState {
    Ready,   // the folder is there and private
    Missing, // a folder on the way does not exist (and was not to be made)
    Refused, // unsafe or unusable; the thread's folder error says why
};

// Looks up the pipe folder (with create, makes the missing folders on the
// way, mode 0700) and returns its path without a trailing '/' in folder.
// Sets the thread's folder error on a refusal. May throw std::bad_alloc.
FolderState PipeFolder(bool create, std::string &folder);

// Records a refusal of the pipe path for the calling thread, or forgets it.
void SetFolderError(const std::string &text);
void ClearFolderError();

} // namespace rdplat::ipc
