// Loop search by deterministic derivations: from every left side, rewrite by a fixed
// choice of redex, and where no redex is left, append the fewest (or most) letters that
// make the end of the word the start of a left side, as forward closures do. A loop is
// found when an earlier word of a derivation, with the letters appended since, occurs
// in a later one with a strict step between them. One path per start and choice instead
// of every closure: it reaches the long loops of growing systems that the closure
// search runs out of memory before.
#pragma once

#include <cstddef>

#include "strong/technique.h"

namespace velkin::strong {

struct DerivationLoopOptions {
  bool reversed = false;  // search on R^rev / S^rev and translate the loop back
  // A derivation ends when its word grows longer than this; the derivations take turns
  // under a cap on the length that doubles from 256 up to this.
  std::size_t maxWordLength = std::size_t{1} << 13;
  std::size_t memoryBytes = std::size_t{256} << 20;  // all derivations together, roughly
};

// Searches a loop of the relative problem `p` (dependency pair problems get Nothing).
// Guarantees: a Loop result's witness is a derivation of `p` itself (translated back
// when reversed), built step by step from rules of `p`, which the caller re-checks;
// Nothing when the budget ends or every derivation ended (the note says which).
Result FindLoopByDerivation(const Problem& p, const Budget& budget,
                            const DerivationLoopOptions& options);

}  // namespace velkin::strong
