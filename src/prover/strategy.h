// The proof strategy: plain pass, dependency-pair pass, reversed pass.
#pragma once

#include "model/state.h"

namespace velkin {

// Runs the technique loop on the system, its dependency pair transformation and that of
// its reversal, stopping at the first proof. Leaves the log mark at the end of the
// plain pass's lines and, for all-strict systems not proved by the plain pass, the
// system after the plain pass in the checkpoint slot.
void RunStrategy(State& st);

}  // namespace velkin
