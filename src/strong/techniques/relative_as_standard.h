// Relative as standard: when R ∪ S terminates with every rule strict, R/S terminates.
// Only one way: a loop of R ∪ S may use weak rules alone, so the step keeps no loops.
#pragma once

#include "strong/technique.h"

namespace velkin::strong {

class RelativeAsStandardWitness : public Witness {
 public:
  std::string Technique() const override;
  // Holds when `before` is relative with weak rules, and `after` is the one standard
  // problem whose strict rules are before's strict rules followed by its weak ones.
  std::string Recheck(const Problem& before, const std::vector<Problem>& after) const override;
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // The step in certificate form (strong/cpf.h).
  cpf::Written Certify(const Problem& before, const std::vector<Problem>& after,
                       const std::vector<cpf::Fragment>& subproofs) const override;
};

// The step for a relative problem with weak rules; nothing for any other problem.
Result RelativeAsStandard(const Problem& p, const Budget& budget);

}  // namespace velkin::strong
