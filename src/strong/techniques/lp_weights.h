// Rule removal by weights found with a linear program. Weights w: Σ -> Q≥0 with
// w(l) >= w(r) for every rule (and pair) are, scaled to integers, the matrix
// interpretation of dimension 1 with [a](x) = x + w(a): monotone, every rule weakly
// decreasing, and strictly the rules with w(l) > w(r), which are removed (from R and S
// of a relative problem, from the pairs of a dependency pair problem, where the same
// maps form a reduction pair). So the step is sound as that interpretation is
// (strong/techniques/matrix.h), and it is re-checked as one.
//
// The program: maximise the sum of the slacks s_j in [0, 1] subject to
// w(l_j) - w(r_j) >= s_j for every removable rule j and >= 0 for the others. The rules
// that some weights make strict are closed under adding weights, so the optimum makes
// every one of them strict at once. Tried first with every s_j = 1 (all removable rules
// strict, no slacks to optimise). Solved by GLPK's simplex, then its exact rational
// simplex from that basis; the weights are read back as fractions, scaled to integers
// and checked exactly before they are used.
#pragma once

#include <cstddef>
#include <memory>

#include "strong/techniques/matrix.h"

namespace velkin::strong {

struct LpWeightsOptions {
  // Skip with a note when the program would have more rows, or more non-zero
  // coefficients, than this.
  std::size_t maxRows = 20'000;
  std::size_t maxNonZeros = 2'000'000;
  // Each solve (the simplex, a second one when not every rule can be strict, the exact
  // simplex) stops after this long. The corpus's systems take milliseconds, their tilings
  // (thousands of rules) hundredths to tenths of a second.
  double solveSeconds = 2.0;
};

// The weights as the matrix interpretation they are; printed as weights.
class LpWeightsWitness : public MatrixWitness {
 public:
  std::string Technique() const override { return "weights"; }
  // MatrixWitness's re-check, after checking that the dimension is 1 and every letter's
  // matrix is 1.
  std::string RecheckStep(const Problem& before, const Problem& after) const override;
  // The weight of every letter that occurs, then the removed rules.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
};

// Weights that remove as many rules (pairs) as any weights do; a Step with one
// subproblem, or None when no weights remove any (with a note when the program was too
// large, or GLPK failed).
Result LpWeights(const Problem& problem, const Budget& budget,
                 const LpWeightsOptions& options = {});

}  // namespace velkin::strong
