// The trivial leaf: a problem without strict rules (or pairs) is solved, since no
// derivation can use them at all, let alone infinitely often.
#pragma once

#include "strong/technique.h"

namespace velkin::strong {

// Proved when `p` has no strict rules (no pairs, for a dependency pair problem);
// nothing otherwise. Takes no time worth budgeting.
Result ProveWithoutStrictRules(const Problem& p, const Budget& budget);

}  // namespace velkin::strong
