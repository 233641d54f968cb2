// The search for a looping derivation with ancestor graphs.
#pragma once

#include "model/state.h"

namespace velkin {

// Examines the primary system; on a loop sets the loop flag, cuts the log back to the
// head and appends the line naming the word. Gives up without a loop on more than 100
// rules.
void SearchLoop(State& st);

}  // namespace velkin
