// Preparations for the match-bound attempts.
#pragma once

#include "model/state.h"

namespace velkin {

// Starts from the checkpoint slot; replaces each rule l -> e by l s -> s for every
// symbol s of the checkpoint's alphabet. Leaves the result in the primary system and
// the checkpoint slot and moves the log mark past its lines. When there is no empty rhs,
// or the expansion would not fit (a lhs of 19 symbols to extend, more than 1000 rules),
// it only restores the checkpoint and writes nothing (an empty rhs then keeps the match
// bound from applying).
void ExpandEmptyRhs(State& st);

// On a one-rule primary system whose sides (of at least two symbols each) share the
// first (else the last) symbol, deletes it from both sides, copies the result to the
// working system and writes its lines; true when it changed the system, false when it
// changed and wrote nothing.
bool StripCommonSymbol(State& st);

}  // namespace velkin
