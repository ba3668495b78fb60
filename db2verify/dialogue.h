// SPDX-License-Identifier: Apache-2.0
// The operator dialogue: banner, prompts, one attempt per round, "Try Again?".
#pragma once

#include <cstdio>

namespace db2verify {

// Runs the whole dialogue on the given streams until the operator declines another attempt
// or the input ends.
void RunDialogue(std::FILE *in, std::FILE *out);

} // namespace db2verify
