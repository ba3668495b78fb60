// SPDX-License-Identifier: Apache-2.0
// A host tells the activity it runs how to start through two environment
// variables, which the activity reads as environment properties:
// RDX_RESUME ("1") asks it to go on after the last batch that an unfinished
// earlier run committed; RDX_FULL_REFRESH ("1") asks it to start again from
// nothing, forgetting its bookmark and replacing its target table.
#pragma once

#include <cstdlib>

namespace rdrun {

inline constexpr const char *kResumeVariable = "RDX_RESUME";
inline constexpr const char *kFullRefreshVariable = "RDX_FULL_REFRESH";

// Set before the activity starts; each is cleared for a run that does not
// ask for it, so that nothing carries over from the host's own environment
// or from the run before.
inline void AskStart(bool resume, bool fullRefresh) {
    if (resume)
        setenv(kResumeVariable, "1", 1);
    else
        unsetenv(kResumeVariable);
    if (fullRefresh)
        setenv(kFullRefreshVariable, "1", 1);
    else
        unsetenv(kFullRefreshVariable);
}

} // namespace rdrun
