// The trivial leaf: a problem without strict rules (or pairs) is solved, since no
// derivation can use them at all, let alone infinitely often.
#pragma once

#include "strong/technique.h"

namespace velkin::strong {

// The witness of the leaf: nothing beyond the problem itself.
class NoStrictRulesWitness : public Witness {
 public:
  std::string Technique() const override;
  // Holds when `before` has no strict rules (no pairs) and the step leaves nothing.
  std::string Recheck(const Problem& before, const std::vector<Problem>& after) const override;
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // The step in certificate form (strong/cpf.h).
  cpf::Written Certify(const Problem& before, const std::vector<Problem>& after,
                       const std::vector<cpf::Fragment>& subproofs) const override;
};

// Proved when `p` has no strict rules (no pairs, for a dependency pair problem);
// nothing otherwise. Takes no time worth budgeting.
Result ProveWithoutStrictRules(const Problem& p, const Budget& budget);

}  // namespace velkin::strong
