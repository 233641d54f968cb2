// Rule removal by arctic matrices on relative problems R/S (standard ones included).
//
// Arctic numbers: N ∪ {-∞}, ⊕ = max, ⊗ = + (-∞ absorbing). Every letter a gets a d×d
// matrix M_a of arctic numbers with (M_a)_{1,1} finite, and no constant vector; a word's
// matrix is the max-plus product of its letters' (M_ε the identity: 0 on the diagonal,
// -∞ elsewhere). Weak l ≥ r: M_l ≥ M_r entrywise (-∞ below every number). Strict l > r:
// every entry of M_l greater than the one of M_r, or that one -∞.
//
// Why the strict rules can be removed when every rule of R and S is weak:
// (a) ≥ and > are closed under multiplying both sides by any matrix, on either side:
//     (A X)_ij = max_k A_ik + X_kj; when the maximum for Y is finite it is reached at a k
//     with A_ik and Y_kj finite, so X_kj > Y_kj and (A X)_ij > (A Y)_ij (≥ likewise);
// (b) (M_w)_{1,1} is finite for every word (the path 1 → 1 → ... → 1), a natural number;
// (c) so a step by a weak rule never raises (M_w)_{1,1}, and one by a strict rule lowers
//     it: no derivation uses the strict rules infinitely often.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "strong/technique.h"
#include "strong/techniques/arctic.h"
#include "strong/techniques/matrix.h"

namespace velkin::strong {

// The shared fields (strong/techniques/interpretation_search.h) only.
struct ArcticRemovalOptions : SearchOptions {};

class ArcticRemovalWitness : public OneStepWitness {
 public:
  int dimension = 1;
  // By letter: its d×d matrix, row-major; present for every letter that occurs.
  std::vector<std::optional<std::vector<ArcticValue>>> letters;
  std::vector<int> removedStrict;  // indices into before.strict, ascending
  std::vector<int> removedWeak;    // indices into before.weak, ascending

  std::string Technique() const override { return "arctic rule removal"; }
  // Recomputes every side's matrix with exact integers and checks that the entries are
  // -∞ or natural, the (1,1) entries finite, that every rule decreases weakly and every
  // removed one strictly, and that the single subproblem is `before` without exactly the
  // removed rules.
  std::string RecheckStep(const Problem& before, const Problem& after) const override;
  // The matrix of every letter that occurs, then the removed rules.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // The certifier's rule removal with the arctic matrices (no constant vector); a
  // non-termination proof below is carried over as a removal of rules.
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
