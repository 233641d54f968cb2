// Arctic numbers N ∪ {-∞} in the order encoding: a "finite" literal and one literal per
// threshold, atLeast[i - 1] true iff the number is finite and >= i. Maximum is an "or"
// per threshold and comparisons are implications between thresholds, which propagate
// better than binary comparators; a sum costs about the product of the two ranges.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sat/solver.h"

namespace velkin::sat {

struct UnaryArctic {
  Lit finite;                // false: the number is -∞
  std::vector<Lit> atLeast;  // descending truth: atLeast[i] implies atLeast[i - 1] and finite

  // The largest value any model can give it.
  int range() const { return static_cast<int>(atLeast.size()); }
};

// -∞, and the finite constant v.
UnaryArctic UnaryMinusInfinity(const Solver& s);
UnaryArctic UnaryConstant(const Solver& s, int v);
// A fresh number: -∞ or a value in [0, max].
UnaryArctic FreshUnaryArctic(Solver& s, int max);
// Its value in the last model; nullopt for -∞.
std::optional<std::uint64_t> Value(const Solver& s, const UnaryArctic& a);

// a ⊕ b = max(a, b), -∞ below every number.
UnaryArctic Max(Solver& s, const UnaryArctic& a, const UnaryArctic& b);
// a ⊗ b = a + b, -∞ when either is; clauses forbid a finite sum above `max`.
UnaryArctic Plus(Solver& s, const UnaryArctic& a, const UnaryArctic& b, int max);

// a ≥ b, with -∞ below every number.
Lit Ge(Solver& s, const UnaryArctic& a, const UnaryArctic& b);
// a > b or b = -∞ (as for the binary arctic numbers).
Lit Gt(Solver& s, const UnaryArctic& a, const UnaryArctic& b);

}  // namespace velkin::sat
