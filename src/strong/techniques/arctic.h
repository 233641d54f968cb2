// Arctic matrix interpretations as reduction pairs on dependency pair problems (P, R),
// over the arctic naturals N ∪ {-∞} or the arctic integers Z ∪ {-∞} ("below zero").
//
// Arctic numbers: ⊕ = max, ⊗ = + (-∞ absorbing). Every letter a, marked or not, gets
// [a](x) = M_a ⊗ x ⊕ c_a with M_a a d×d and c_a a d-vector of arctic numbers. Words
// compose with the first letter outermost: M_{aw} = M_a ⊗ M_w, c_{aw} = M_a ⊗ c_w ⊕ c_a.
// Weak: M_l ≥ M_r and c_l ≥ c_r entrywise (-∞ below every number). Strict: every entry
// on the left greater than the one on the right, or that one -∞.
//
// What both domains share:
// (a) weak is closed under contexts: ⊕ and ⊗ are monotone on Z ∪ {-∞}, so
//     [u l v](x) = [u]([l]([v](x))) ≥ [u]([r]([v](x))) for every x, and the same holds
//     of the maps' entries; no condition on the letters is needed for this;
// (b) strict is closed under appending a word on the right, and ≥·>·≥ ⊆ >: an entry
//     of M_r M_w (or of M_r c_w ⊕ c_r) that is finite is reached by finite entries, and
//     the corresponding entries on the left are greater;
// (c) a strict pair lowers the first entry c_1 of a word's map when the right side's is
//     finite: by (b) with the entry reached at a finite term.
// Measure: for a word w the natural number v(w) = (c_w)_1, the first entry of
// [w](-∞, ..., -∞). It must be finite and bounded below on every word of a chain.
//
// Naturals: every letter has (M_a)_{1,1} or (c_a)_1 finite. Then every word's map has
// (M_w)_{1,1} or (c_w)_1 finite (from M_ε = I), so the first entry of [w](0, ..., 0) is
// a natural number; weak steps never raise it and a strict pair at the start lowers it.
//
// Integers (below zero): entries are integers or -∞, and every letter that begins a
// side of a pair (the marked letters) has (c_a)_1 finite and ≥ 0. In a chain every word
// starts with such a letter a (pairs rewrite at the start, from a pair side to a pair
// side; R rewrites after the first letter), so v(a u) = max((M_a ⊗ c_u)_1, (c_a)_1) ≥ 0
// is a natural number. R-steps never raise v (a), pair steps never raise it, and a
// strict pair lowers it (c). So no chain uses strict pairs infinitely often. Ordinary
// letters need no condition at all: they never stand first, and (a) holds for any maps.
// The certifier asks more, of every letter: (M_a)_{1,1} or (c_a)_1 finite and ≥ 0 (then
// the first entry of [w](0, ..., 0) is ≥ 0 for every word); the search imposes that on
// ordinary letters too when `certifiable` is set, and Certify refuses a witness without it.
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
  // Numbers in the order encoding (sat/unary_arctic.h) instead of binary: the same
  // interpretations, bounded alike, in clauses that propagate better (solved 3 to 50
  // times faster on sides of up to 16 letters; on longer ones, whose values the bound
  // caps, dimension 3 found in 0.16 s what binary numbers took 5.2 s for), in 0.5 to 3
  // times as many clauses.
  bool unary = true;
  // Arctic integers: the letters' finite entries lie in [-belowZero, 2^bits - 1] (0: the
  // arctic naturals, entries in [0, 2^bits - 1]); a side's in [-(2^ResultBits() - 1),
  // 2^ResultBits() - 1]. Always in the order encoding.
  int belowZero = 0;
  // With belowZero: every ordinary letter too gets (M)_{1,1} or (c)_1 finite and ≥ 0, the
  // certifier's condition (soundness needs it of the pairs' first letters only).
  bool certifiable = true;
};

// An arctic number: nullopt is -∞.
using ArcticValue = std::optional<std::int64_t>;

// One letter's map x ↦ M ⊗ x ⊕ c.
struct ArcticMap {
  std::vector<ArcticValue> m;  // d×d, row-major
  std::vector<ArcticValue> c;  // d
};

class ArcticWitness : public OneStepWitness {
 public:
  int dimension = 1;
  // By letter; a letter without a map is the identity (M = I, c = -∞ everywhere) and
  // must not occur in the problem.
  std::vector<std::optional<ArcticMap>> letters;
  std::vector<int> removed;  // indices into before.strict (the pairs), ascending
  // Over Z ∪ {-∞}: entries may be negative, and the first letter of every pair side has
  // (c)_1 finite and ≥ 0 (instead of every letter (M)_{1,1} or (c)_1 finite).
  bool integers = false;
  // Only the usable rules of R decrease (strong/techniques/usable_rules.h).
  bool usableOnly = false;

  std::string Technique() const override { return "arctic interpretation"; }
  // Recomputes every side's map with exact arithmetic (strong/exact.h) and checks the
  // letters' condition of the domain (naturals: no negative entry, (M)_{1,1} or (c)_1
  // finite; integers: every pair side non-empty, its first letter's (c)_1 finite and
  // ≥ 0), that every rule and pair decreases weakly and every removed pair
  // strictly, and that the single subproblem is `before` without exactly those pairs.
  std::string RecheckStep(const Problem& before, const Problem& after) const override;
  // The map of every letter that occurs, then the removed pairs.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // The step in certificate form (strong/cpf.h); integers only when every letter has
  // (M)_{1,1} or (c)_1 finite and ≥ 0, as the certifier requires.
  cpf::Written CertifyStep(const Problem& before, const Problem& after,
                           const cpf::Fragment& sub) const override;
};

// Searches an interpretation with `options` under which every rule and pair decreases
// weakly and at least one pair strictly, then (rounds of improveSeconds) one with more
// strict pairs; removes every strict pair. Returns a Step with
// one subproblem, or None (with a note when the encoding would be too large).
Result ArcticInterpretation(const Problem& problem, const Budget& budget,
                            const ArcticOptions& options);

}  // namespace velkin::strong
