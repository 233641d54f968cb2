// The subterm criterion on a dependency pair problem (P, R). Every pair of the engine has
// the shape A u -> B v, A and B marked letters, u and v words of unmarked letters; as
// terms A(u(x)) -> B(v(x)), whose arguments u(x) and v(x) have as subterms exactly the
// suffixes of u and of v. Projecting every marked letter to its argument: when v is a
// suffix of u for every pair, and a proper one for the pairs D, then (P, R) is finite
// iff (P \ D, R) is. Why: take an infinite minimal chain A_1 u_1 w_1 -> B_1 v_1 w_1 ->*_R
// A_2 u_2 w_2 -> ... (every argument v_i w_i terminating under R, since the chain is
// minimal). The projections u_1 w_1 ⊵ v_1 w_1 →*_R u_2 w_2 ⊵ v_2 w_2 ... go down in the
// well-founded order (→_R ∪ ⊳)+ on the terminating words below u_1 w_1 (a suffix of a
// terminating word terminates), strictly at each pair of D; so pairs of D occur only
// finitely often, and a tail of the chain is one of P \ D. Minimality holds for every
// pair problem the engine makes: the dependency pair transformation gives minimal
// chains, and the graph, reduction pairs and this step only remove pairs. R plays no
// part.
#pragma once

#include <string>
#include <vector>

#include "strong/technique.h"

namespace velkin::strong {

class SubtermCriterionWitness : public OneStepWitness {
 public:
  std::vector<int> removed;  // indices into before.strict (the pairs), ascending, not empty

  std::string Technique() const override { return "subterm criterion"; }
  // Holds when `before` is a dependency pair problem whose every pair is A u -> B v with
  // v a suffix of u, a proper one for exactly the removed pairs, and the one subproblem
  // is `before` without them.
  std::string RecheckStep(const Problem& before, const Problem& after) const override;
  // The projection, then each removed pair with the suffix its right side keeps.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // The certifier's subterm criterion with the projection of every marked letter to
  // its argument.
  cpf::Written CertifyStep(const Problem& before, const Problem& after,
                           const cpf::Fragment& sub) const override;
};

// Removes every pair whose right side's argument is a proper suffix of its left side's,
// when every other pair keeps its argument; nothing otherwise, or on a problem without
// pairs.
Result SubtermCriterion(const Problem& p, const Budget& budget);

}  // namespace velkin::strong
