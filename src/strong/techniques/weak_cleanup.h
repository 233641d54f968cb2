// Trivial weak rules dropped: a weak rule l ->= l, and a weak rule that is also a strict
// rule. Why R/S terminates iff R/S' does, S' the weak rules kept: S' is part of S, so one
// way is plain; the other way, an infinite R∪S derivation with infinitely many R-steps
// stays one without its steps by l ->= l (they change nothing), and its steps by a weak
// copy of a strict rule are R-steps. Loops carry over both ways: a loop of R/S' uses
// rules of R/S only, strict where they are strict there.
#pragma once

#include <vector>

#include "strong/technique.h"

namespace velkin::strong {

class WeakCleanupWitness : public OneStepWitness {
 public:
  std::vector<int> dropped;  // indices into before.weak, ascending, at least one

  std::string Technique() const override { return "trivial weak rules"; }
  // Holds when `before` is relative, every dropped weak rule has equal sides or is one
  // of before's strict rules, and the one subproblem is `before` without exactly the
  // dropped weak rules.
  std::string RecheckStep(const Problem& before, const Problem& after) const override;
  // One line per dropped rule with the reason.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // Termination: the certifier's equality removal (for l ->= l) and a split by the
  // strict rules (for weak copies of them). Below a disproof: the loop of the
  // subproblem, whose rules are all rules of `before`.
  cpf::Written CertifyStep(const Problem& before, const Problem& after,
                           const cpf::Fragment& sub) const override;
};

// Drops every trivial weak rule of a relative problem; nothing when there is none.
Result DropTrivialWeakRules(const Problem& p, const Budget& budget);

}  // namespace velkin::strong
