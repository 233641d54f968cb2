// Loop search by every derivation from every short word: for each start word u (all
// words of the letters of the left sides, shortest first, the empty word too when some
// left side is empty), a breadth-first search over the words that u derives, each with
// whether a strict step led to it, until one with a strict step contains u. Weak rules
// with an empty left side (ε ->= w) insert w at every position, which the closure and
// deterministic searches cannot follow well; this search takes every insertion as one
// more step. The bounds (length of u, of the words derived, words kept per start) grow
// round by round.
//
// Soundness: every edge of the search is one step of a rule of the problem at one
// position, so a path from u to p u q with a strict step is a loop; the witness is
// replayed against the problem's rules before it is accepted.
#pragma once

#include <cstddef>

#include "strong/technique.h"

namespace velkin::strong {

struct BoundedDerivationOptions {
  std::size_t maxStartLength = 16;                  // the longest start words
  std::size_t memoryBytes = std::size_t{96} << 20;  // the words kept for one start, roughly
};

// Searches a loop of the relative problem `p` (dependency pair problems get Nothing).
// Guarantees: a Loop result's witness is a derivation of `p` that the caller re-checks;
// Nothing when the budget ends or the bounds were reached (the note says which).
Result FindLoopByBoundedDerivations(const Problem& p, const Budget& budget,
                                    const BoundedDerivationOptions& options);

}  // namespace velkin::strong
