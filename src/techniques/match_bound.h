// Match bounds on the right-hand sides of forward closures, proved by an automaton.
#pragma once

#include "model/state.h"

namespace velkin {

// Tries a match-bound proof of the primary system; on success sets the proved flag and
// appends the automaton. Gives up without a proof on systems that do not fit or that
// have an empty side.
void TryMatchBound(State& st);

}  // namespace velkin
