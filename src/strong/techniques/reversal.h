// Reversal: R/S terminates iff R^rev/S^rev does (reverse both sides of every rule).
// The step keeps loops both ways: a loop of the reversed problem, read backwards, is
// a loop of the problem.
#pragma once

#include "strong/technique.h"

namespace velkin::strong {

// The relative problem with every rule reversed, in the same order and alphabet.
Problem ReversedProblem(const Problem& p);

// The witness carries nothing: the subproblem is determined by the problem.
class ReversalWitness : public OneStepWitness {
 public:
  std::string Technique() const override;
  // Holds when `before` is relative and `after` is exactly ReversedProblem(before).
  std::string RecheckStep(const Problem& before, const Problem& after) const override;
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // The step in certificate form (strong/cpf.h).
  cpf::Written CertifyStep(const Problem& before, const Problem& after,
                           const cpf::Fragment& sub) const override;
};

// The reversal step of a relative problem (nothing for a dependency pair problem,
// where it is unsound: pairs apply at the start of a word only).
Result Reverse(const Problem& p, const Budget& budget);

}  // namespace velkin::strong
