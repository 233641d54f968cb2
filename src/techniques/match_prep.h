// Preparations for the match-bound attempts.
#pragma once

#include "model/state.h"

namespace velkin {

// Starts from the checkpoint slot; replaces each rule l -> e by l s -> s for every
// symbol s. Leaves the result in the primary system and the checkpoint slot and moves
// the log mark past its lines. When the expansion would not fit it only restores the
// checkpoint (the empty rhs then keeps the match bound from applying).
void ExpandEmptyRhs(State& st);

// On a one-rule primary system whose sides share the first (else the last) symbol,
// deletes it from both sides and writes its lines; true when it changed the system.
bool StripCommonSymbol(State& st);

}  // namespace velkin
