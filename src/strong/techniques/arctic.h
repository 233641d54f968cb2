// Arctic matrix interpretations as reduction pairs on dependency pair problems (P, R).
//
// Arctic numbers: N ∪ {-∞}, ⊕ = max, ⊗ = + (-∞ absorbing). Every letter a, marked or
// not, gets [a](x) = M_a ⊗ x ⊕ c_a with M_a a d×d and c_a a d-vector of arctic numbers,
// and (M_a)_{1,1} or (c_a)_1 finite. Words compose with the first letter outermost.
// Weak: M_l ≥ M_r and c_l ≥ c_r entrywise (-∞ below every number). Strict: every entry
// on the left greater than the one on the right, or that one -∞.
//
// Why removing the strict pairs is sound: with the (1,1) condition every word's map has
// (M_w)_{1,1} or (c_w)_1 finite (by induction, from M_ε = I), so the first entry of
// [w](0, ..., 0) is a natural number. Weak steps never raise it (max-plus is monotone,
// so weak is closed under contexts), and a strict pair applied at the start of a word
// lowers it (strict is closed under appending on the right). So no chain uses strict
// pairs infinitely often.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "strong/technique.h"
#include "strong/techniques/interpretation_search.h"

namespace velkin::strong {

// The shared fields (strong/techniques/interpretation_search.h) and the arctic ones.
struct ArcticOptions : SearchOptions {
  // A marked letter's map gets a fresh first row only, its other rows fixed (to -∞):
  // the same interpretations exist (only first rows of a pair's sides are compared,
  // and clearing the other rows keeps every condition), with a smaller encoding.
  bool markedFirstRowOnly = true;
  // Numbers in the order encoding (sat/unary_arctic.h) instead of binary when no side
  // is longer than `unaryLongestSide`: the same interpretations, bounded alike, in
  // clauses that propagate better (solved 3 to 50 times faster on short sides), but
  // more of them as sides, and so their values, grow.
  bool unary = true;
  int unaryLongestSide = 16;
};

// An arctic number: nullopt is -∞.
using ArcticValue = std::optional<std::int64_t>;

// One letter's map x ↦ M ⊗ x ⊕ c.
struct ArcticMap {
  std::vector<ArcticValue> m;  // d×d, row-major
  std::vector<ArcticValue> c;  // d
};

class ArcticWitness : public Witness {
 public:
  int dimension = 1;
  // By letter; a letter without a map is the identity (M = I, c = -∞ everywhere) and
  // must not occur in the problem.
  std::vector<std::optional<ArcticMap>> letters;
  std::vector<int> removed;  // indices into before.strict (the pairs), ascending

  std::string Technique() const override { return "arctic interpretation"; }
  // Recomputes every side's map with exact arithmetic (strong/exact.h) and checks the
  // (1,1) condition, that every rule and pair decreases weakly and every removed pair
  // strictly, and that the single subproblem is `before` without exactly those pairs.
  std::string Recheck(const Problem& before, const std::vector<Problem>& after) const override;
  // The map of every letter that occurs, then the removed pairs.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // The step in certificate form (strong/cpf.h).
  cpf::Written Certify(const Problem& before, const std::vector<Problem>& after,
                       const std::vector<cpf::Fragment>& subproofs) const override;
};

// Searches an interpretation with `options` under which every rule and pair decreases
// weakly and at least one pair strictly, then (rounds of improveSeconds) one with more
// strict pairs; removes every strict pair. Returns a Step with
// one subproblem, or None (with a note when the encoding would be too large).
Result ArcticInterpretation(const Problem& problem, const Budget& budget,
                            const ArcticOptions& options);

}  // namespace velkin::strong
