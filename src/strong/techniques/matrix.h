// Rule removal by matrix interpretations over the naturals, in affine form: every letter
// a gets [a](x) = M_a x + c_a on N^d, a word the composition of its letters' maps (first
// letter outermost). A rule l -> r is weakly decreasing when M_l >= M_r and c_l >= c_r,
// strictly when in addition (c_l)_1 > (c_r)_1.
//
// Relative problems R/S: every letter has (M_a)_{1,1} >= 1, all rules of R ∪ S decrease
// weakly, and the strictly decreasing ones leave R and S. Dependency pair problems (P, R)
// (a reduction pair): all pairs and rules decrease weakly, the strictly decreasing pairs
// leave P; marked letters need no (M_a)_{1,1} >= 1.
#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "strong/technique.h"
#include "strong/techniques/interpretation_search.h"

namespace velkin::strong {

enum class MatrixKind {
  Full,       // every entry free
  Triangular  // upper triangular with diagonal entries 0 or 1: values grow polynomially
};

// The shared fields (strong/techniques/interpretation_search.h) and the matrices' own.
struct MatrixOptions : SearchOptions {
  MatrixKind kind = MatrixKind::Full;
  // A marked letter's map gets a fresh first row only, its other rows fixed (to 0; dependency pair
  // problems only): the same interpretations exist (only first rows of a pair's sides are compared,
  // and clearing the other rows keeps every condition), with a smaller encoding.
  bool markedFirstRowOnly = true;
  // How the sides' maps are multiplied out (strong/techniques/products.h): the plan with
  // the smaller estimate, or one of them (for comparisons).
  enum class Products { Cheapest, Chain, Shared };
  Products products = Products::Cheapest;
};

// One letter's map x ↦ m x + c.
struct LetterMap {
  std::vector<mpz_class> m;  // d×d, row-major
  std::vector<mpz_class> c;  // d
};

class MatrixWitness : public OneStepWitness {
 public:
  int dimension = 1;
  std::vector<std::optional<LetterMap>> letters;  // by letter; present for every used one
  std::vector<int> removedStrict;                 // indices into before.strict, ascending
  std::vector<int> removedWeak;                   // indices into before.weak, ascending
  // Only the usable rules of R decrease (a dependency pair problem; usable_rules.h).
  bool usableOnly = false;

  std::string Technique() const override { return "matrix interpretation"; }
  // Recomputes every side's map from the letters' maps with exact integers and checks
  // the (1,1) entries, that every rule decreases weakly and every removed one strictly,
  // and that the single subproblem is `before` without exactly the removed rules.
  std::string RecheckStep(const Problem& before, const Problem& after) const override;
  // The map of every letter that occurs, then the removed rules.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // The step in certificate form (strong/cpf.h).
  cpf::Written CertifyStep(const Problem& before, const Problem& after,
                           const cpf::Fragment& sub) const override;
};

// Searches an interpretation with `options` that removes at least one rule (relative)
// or pair (dependency pairs), removing every rule the interpretation found makes strict.
// Returns a Step with one subproblem, or None (with a note when the encoding was too
// large to build).
Result MatrixInterpretation(const Problem& problem, const Budget& budget,
                            const MatrixOptions& options);

// The encoding's size for `options` without solving it: the estimate that the size
// limit is checked against, and the clauses actually built.
struct EncodingSize {
  std::int64_t estimated = 0, built = 0;
};
EncodingSize MatrixEncodingSize(const Problem& problem, const MatrixOptions& options);

}  // namespace velkin::strong
