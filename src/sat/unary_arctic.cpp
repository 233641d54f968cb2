#include "sat/unary_arctic.h"

#include <algorithm>
#include <cassert>

#include "sat/gates.h"

namespace velkin::sat {
namespace {

// "a >= i" for i >= 0: finite for i = 0, false above the range.
Lit AtLeast(const Solver& s, const UnaryArctic& a, int i) {
  if (i == 0) return a.finite;
  return i <= a.range() ? a.atLeast[i - 1] : s.False();
}

// Drops thresholds that no model can reach.
UnaryArctic Trimmed(const Solver& s, UnaryArctic a) {
  while (!a.atLeast.empty() && a.atLeast.back() == s.False()) a.atLeast.pop_back();
  return a;
}

}  // namespace

UnaryArctic UnaryMinusInfinity(const Solver& s) {
  return UnaryArctic{s.False(), {}};
}

UnaryArctic UnaryConstant(const Solver& s, int v) {
  assert(v >= 0);
  return UnaryArctic{s.True(), std::vector<Lit>(v, s.True())};
}

UnaryArctic FreshUnaryArctic(Solver& s, int max) {
  assert(max >= 0);
  UnaryArctic a{s.NewVar(), {}};
  Lit below = a.finite;
  for (int i = 0; i < max; ++i) {
    const Lit l = s.NewVar();
    s.AddClause({-l, below});
    a.atLeast.push_back(below = l);
  }
  return a;
}

std::optional<std::uint64_t> Value(const Solver& s, const UnaryArctic& a) {
  if (!s.Value(a.finite)) return std::nullopt;
  std::uint64_t v = 0;
  while (v < a.atLeast.size() && s.Value(a.atLeast[v])) ++v;
  return v;
}

UnaryArctic Max(Solver& s, const UnaryArctic& a, const UnaryArctic& b) {
  UnaryArctic m{Or(s, a.finite, b.finite), {}};
  for (int i = 1; i <= std::max(a.range(), b.range()); ++i)
    m.atLeast.push_back(Or(s, AtLeast(s, a, i), AtLeast(s, b, i)));
  return Trimmed(s, std::move(m));
}

// Threshold k of the sum holds iff a >= i and b >= k - i for some i; it fails iff for
// every i, a < i or b < k - i + 1. Both directions as clauses on a fresh literal, so
// that the sum is exact in every model.
UnaryArctic Plus(Solver& s, const UnaryArctic& a, const UnaryArctic& b, int max) {
  const Lit finite = And(s, a.finite, b.finite);
  UnaryArctic sum{finite, {}};
  if (finite == s.False()) return sum;
  const int top = a.range() + b.range();
  for (int k = 1; k <= top; ++k) {
    // The pairs (i, k - i) that reach k.
    std::vector<std::pair<Lit, Lit>> ways;
    for (int i = std::max(0, k - b.range()); i <= std::min(k, a.range()); ++i)
      ways.emplace_back(AtLeast(s, a, i), AtLeast(s, b, k - i));
    if (k > max) {  // too large: forbidden (larger sums reach this one too)
      for (const auto& [x, y] : ways) s.AddClause({-x, -y});
      break;
    }
    Lit g;
    if (ways.size() == 1) {
      g = And(s, ways[0].first, ways[0].second);
    } else {
      g = s.NewVar();
      for (const auto& [x, y] : ways) s.AddClause({-x, -y, g});
      // a + b < k when a < i and b < k - i + 1 for some i in 1..k: then g is false.
      for (int i = 1; i <= k; ++i) s.AddClause({-g, AtLeast(s, a, i), AtLeast(s, b, k - i + 1)});
      s.AddClause({-g, finite});
      if (!sum.atLeast.empty()) s.AddClause({-g, sum.atLeast.back()});
    }
    sum.atLeast.push_back(g);
  }
  return Trimmed(s, std::move(sum));
}

Lit Ge(Solver& s, const UnaryArctic& a, const UnaryArctic& b) {
  std::vector<Lit> all;
  for (int i = 0; i <= b.range(); ++i)
    all.push_back(Implies(s, AtLeast(s, b, i), AtLeast(s, a, i)));
  return AndAll(s, all);
}

Lit Gt(Solver& s, const UnaryArctic& a, const UnaryArctic& b) {
  std::vector<Lit> all;
  for (int i = 0; i <= b.range(); ++i)
    all.push_back(Implies(s, AtLeast(s, b, i), AtLeast(s, a, i + 1)));
  return AndAll(s, all);
}

}  // namespace velkin::sat
