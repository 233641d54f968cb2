// Stripping the common prefix and suffix of a rule's sides. If l = x l' y and r = x r' y,
// every step u l v -> u r v is the step (u x) l' (y v) -> (u x) r' (y v) by l' -> r', so
// a derivation of R/S is one of R'/S' (every rule replaced by its stripped form, strict
// ones staying strict) with the same strict steps: SN(R'/S') implies SN(R/S). Only this
// way round: R'/S' may loop where R/S does not, so the step keeps no loops.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "strong/technique.h"

namespace velkin::strong {

struct StripOptions {
  bool prefixes = true;  // strip common prefixes
  bool suffixes = true;  // strip common suffixes (after the prefix)
};

class StripWitness : public Witness {
 public:
  // For every strict rule, then every weak rule, in the problem's order: the lengths of
  // the prefix and of the suffix stripped from both sides.
  std::vector<std::pair<std::size_t, std::size_t>> cuts;

  std::string Technique() const override { return "stripping"; }
  // Holds when `before` is relative, each cut is a common prefix and a common suffix of
  // its rule's sides that do not overlap on either side, some cut is not empty, and the
  // one subproblem has the same letters and, rule for rule, the stripped rules.
  std::string Recheck(const Problem& before, const std::vector<Problem>& after) const override;
  // One line per rule that changes: the rule and what it becomes.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
};

// Strips every rule of a relative problem as `options` say, as far as the sides agree.
// Nothing when no rule changes.
Result Strip(const Problem& p, const Budget& budget, const StripOptions& options = {});

}  // namespace velkin::strong
