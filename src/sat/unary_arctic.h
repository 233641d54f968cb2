// Arctic numbers Z ∪ {-∞} in the order encoding: a "finite" literal, a lowest value `low`
// fixed when the number is built, and one literal per threshold above it, atLeast[i]
// true iff the number is finite and >= low + i + 1. Maximum is an "or" per threshold and
// comparisons are implications between thresholds, which propagate better than binary
// comparators; a sum costs about the product of the two ranges. With low = 0 these are
// the arctic naturals N ∪ {-∞}.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sat/solver.h"

namespace velkin::sat {

struct UnaryArctic {
  Lit finite;                // false: the number is -∞
  std::vector<Lit> atLeast;  // descending truth: atLeast[i] implies atLeast[i - 1] and finite
  int low = 0;               // the value when finite and no threshold holds

  // The number of thresholds: the values lie in [low, low + range()].
  int range() const { return static_cast<int>(atLeast.size()); }
};

// The bounds that the results of Plus (and so of products and compositions) must keep:
// a finite result outside [lowest, highest] is forbidden by clauses.
struct UnaryBounds {
  int lowest = 0;
  int highest = 0;
};

// -∞, and the finite constant v.
UnaryArctic UnaryMinusInfinity(const Solver& s);
UnaryArctic UnaryConstant(const Solver& s, int v);
// A fresh number: -∞ or a value in [0, max], or in [lowest, highest] (lowest <= highest).
UnaryArctic FreshUnaryArctic(Solver& s, int max);
UnaryArctic FreshUnaryArctic(Solver& s, int lowest, int highest);
// Its value in the last model; nullopt for -∞.
std::optional<std::int64_t> Value(const Solver& s, const UnaryArctic& a);
// A literal equivalent to "a is finite and a >= v".
Lit AtLeastValue(const Solver& s, const UnaryArctic& a, int v);

// a ⊕ b = max(a, b), -∞ below every number.
UnaryArctic Max(Solver& s, const UnaryArctic& a, const UnaryArctic& b);
// a ⊗ b = a + b, -∞ when either is; clauses forbid a finite sum above `max` (below 0
// cannot happen for numbers with low >= 0), or outside `bounds`.
UnaryArctic Plus(Solver& s, const UnaryArctic& a, const UnaryArctic& b, int max);
UnaryArctic Plus(Solver& s, const UnaryArctic& a, const UnaryArctic& b, UnaryBounds bounds);

// a ≥ b, with -∞ below every number.
Lit Ge(Solver& s, const UnaryArctic& a, const UnaryArctic& b);
// a > b or b = -∞ (as for the binary arctic numbers).
Lit Gt(Solver& s, const UnaryArctic& a, const UnaryArctic& b);

}  // namespace velkin::sat
