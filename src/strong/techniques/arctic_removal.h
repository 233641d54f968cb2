// Rule removal by arctic matrices on relative problems R/S (standard ones included).
//
// Arctic numbers: N ∪ {-∞}, or Z ∪ {-∞} ("below zero"), with ⊕ = max and ⊗ = + (-∞
// absorbing). Every letter a gets a d×d matrix M_a of arctic numbers whose (1,1) entry
// is finite and ≥ 0, and no constant vector; a word's matrix is the max-plus product of
// its letters' (M_ε the identity: 0 on the diagonal, -∞ elsewhere). Weak l ≥ r: M_l ≥ M_r
// entrywise (-∞ below every number). Strict l > r: every entry of M_l greater than the one
// of M_r, or that one -∞.
//
// Why the strict rules can be removed when every rule of R and S is weak:
// (a) ≥ and > are closed under multiplying both sides by any matrix, on either side, of
//     any finite entries, negative ones included: (A X)_ij = max_k A_ik + X_kj; when the
//     maximum for Y is finite, every finite term of it has A_ik and Y_kj finite, so
//     X_kj > Y_kj and (A X)_ij > (A Y)_ij (≥ likewise);
// (b) (M_w)_{1,1} ≥ the sum of the letters' (1,1) entries (the path 1 → 1 → ... → 1), so
//     it is a natural number for every word;
// (c) so a step by a weak rule never raises (M_w)_{1,1}, and one by a strict rule lowers
//     it: no derivation uses the strict rules infinitely often.
// Negative entries matter where weak rules must hold both ways: after a left context
// closure, ε ->= a b and a b ->= ε become y ->= y a b and y a b ->= y, which matrices
// with M_y M_a M_b = M_y satisfy; over the integers such M_a and M_b exist with a (1,1)
// entry 0 and a counting entry that a raises and b lowers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "strong/technique.h"
#include "strong/techniques/arctic.h"
#include "strong/techniques/matrix.h"

namespace velkin::strong {

// The shared fields (strong/techniques/interpretation_search.h) and, above 0, arctic
// integers: the letters' finite entries lie in [-belowZero, 2^bits - 1] (order
// encoding), a product's in [-(2^ResultBits() - 1), 2^ResultBits() - 1].
struct ArcticRemovalOptions : SearchOptions {
  int belowZero = 0;
};

class ArcticRemovalWitness : public OneStepWitness {
 public:
  int dimension = 1;
  // By letter: its d×d matrix, row-major; present for every letter that occurs.
  std::vector<std::optional<std::vector<ArcticValue>>> letters;
  std::vector<int> removedStrict;  // indices into before.strict, ascending
  std::vector<int> removedWeak;    // indices into before.weak, ascending

  std::string Technique() const override { return "arctic rule removal"; }
  // Whether some entry is negative (the matrices are over Z ∪ {-∞}).
  bool BelowZero() const;
  // Recomputes every side's matrix with exact integers and checks that every (1,1) entry
  // is finite and ≥ 0, that every rule decreases weakly and every removed one strictly,
  // and that the single subproblem is `before` without exactly the removed rules.
  std::string RecheckStep(const Problem& before, const Problem& after) const override;
  // The matrix of every letter that occurs, then the removed rules.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // The certifier's rule removal with the arctic matrices (no constant vector), over the
  // arctic integers when some entry is negative; a non-termination proof below is carried
  // over as a removal of rules.
  cpf::Written CertifyStep(const Problem& before, const Problem& after,
                           const cpf::Fragment& sub) const override;
};

// Searches matrices with `options` under which every rule decreases weakly and at least
// one strictly, then (rounds of improveSeconds) ones with more strict rules; removes every
// strict rule from R and S. Relative (and standard) problems only. Returns a Step with one
// subproblem, or None (with a note when the encoding would be too large).
Result ArcticRuleRemoval(const Problem& problem, const Budget& budget,
                         const ArcticRemovalOptions& options);

// The encoding's size for `options`, estimated and built, without solving it.
EncodingSize ArcticRemovalEncodingSize(const Problem& problem, const ArcticRemovalOptions& options);

}  // namespace velkin::strong
