// Tseitin gates over a Solver: each returns a literal equivalent, in every model, to the
// gate of its inputs. Constant and repeated inputs are folded, equal gates shared.
#pragma once

#include <vector>

#include "sat/solver.h"

namespace velkin::sat {

// a ∧ b.
Lit And(Solver& s, Lit a, Lit b);
// a ∨ b.
Lit Or(Solver& s, Lit a, Lit b);
// a ⊕ b (exclusive or).
Lit Xor(Solver& s, Lit a, Lit b);
// a ↔ b.
inline Lit Iff(Solver& s, Lit a, Lit b) {
  return -Xor(s, a, b);
}
// a → b.
inline Lit Implies(Solver& s, Lit a, Lit b) {
  return Or(s, -a, b);
}
// c ? t : e.
Lit Ite(Solver& s, Lit c, Lit t, Lit e);
// The conjunction of all `lits` (True() for none).
Lit AndAll(Solver& s, const std::vector<Lit>& lits);
// The disjunction of all `lits` (False() for none).
Lit OrAll(Solver& s, const std::vector<Lit>& lits);
// The majority of three (the carry of a full adder).
Lit Majority(Solver& s, Lit a, Lit b, Lit c);

}  // namespace velkin::sat
