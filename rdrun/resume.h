// A host asks the activity it runs to go on after the last batch that an
// unfinished earlier run committed through the environment variable
// RDX_RESUME ("1"), which the activity reads as an environment property.
#pragma once

#include <cstdlib>

namespace rdrun {

inline constexpr const char *kResumeVariable = "RDX_RESUME";

// Set before the activity starts; cleared for a run that does not resume.
inline void AskResume(bool resume) {
    if (resume)
        setenv(kResumeVariable, "1", 1);
    else
        unsetenv(kResumeVariable);
}

} // namespace rdrun
