// Relative as standard: when R ∪ S terminates with every rule strict, R/S terminates.
// Only one way: a loop of R ∪ S may use weak rules alone, so the step keeps no loops.
#pragma once

#include "strong/technique.h"

namespace velkin::strong {

// The step for a relative problem with weak rules; nothing for any other problem.
Result RelativeAsStandard(const Problem& p, const Budget& budget);

}  // namespace velkin::strong
