// A looping derivation u ->+ p u q of a relative problem R/S, the evidence of every
// disproof: repeating it gives u, p u q, p p u q q, ... with infinitely many strict steps.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "strong/technique.h"

namespace velkin::strong {

// One rewrite step: `rule` (of R when `strict`, else of S) applied with its left side at
// `position` (the number of letters before it) of the previous word, giving `result`.
struct LoopStep {
  Rule rule;
  bool strict = true;
  std::size_t position = 0;
  Word result;
  friend bool operator==(const LoopStep&, const LoopStep&) = default;
};

// The loop u ->+ p u q with every step. `foundBy` says which search found it; it is
// printed and not checked.
class LoopWitness : public Witness {
 public:
  Word start;   // u
  Word prefix;  // p
  Word suffix;  // q
  std::vector<LoopStep> steps;
  std::string foundBy;

  std::string Technique() const override { return "loop"; }
  // Replays every step against the rules of `before` (a relative problem), checks that
  // the last word is p u q, that there is at least one step and one strict step, and
  // that `after` is empty (a disproof has no subproblem).
  std::string Recheck(const Problem& before, const std::vector<Problem>& after) const override;
  // u, p, q and one line per step with its rule, position and resulting word.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // The step in certificate form (strong/cpf.h).
  cpf::Written Certify(const Problem& before, const std::vector<Problem>& after,
                       const std::vector<cpf::Fragment>& subproofs) const override;
};

// Builds the witness of a derivation given as rules and positions from `start`: computes
// every intermediate word and splits the last one as p u q. `rules` are the problem's
// strict rules followed by its weak rules; step i applies rules[ruleIndex[i]] at
// positions[i]. Returns null when a step does not apply or the last word does not
// contain u (a bug of the caller, never a loop).
std::shared_ptr<LoopWitness> MakeLoopWitness(const Problem& problem, const Word& start,
                                             const std::vector<std::size_t>& ruleIndex,
                                             const std::vector<std::size_t>& positions,
                                             std::string foundBy);

// The loop `w` of R^rev/S^rev read backwards: a loop of R/S with p and q swapped, every
// word reversed and every position counted from the other end. The caller re-checks it.
std::shared_ptr<LoopWitness> UnreversedLoop(const LoopWitness& w);

// The trivial disproof: a strict rule with an empty left side loops from the empty word
// (ε -> r, so u = ε, p = r). Nothing when there is no such rule.
Result TrivialLoop(const Problem& problem);

}  // namespace velkin::strong
