#include "sat/unary_arctic.h"

#include <algorithm>
#include <cassert>

#include "sat/gates.h"

namespace velkin::sat {
namespace {

// "a >= a.low + i" for i >= 0: finite for i = 0, false above the range.
Lit AtLeastRel(const Solver& s, const UnaryArctic& a, int i) {
  assert(i >= 0);
  if (i == 0) return a.finite;
  return i <= a.range() ? a.atLeast[i - 1] : s.False();
}

// The same number in its shortest form: -∞ as the constant, thresholds that no model can
// reach dropped, and thresholds that every finite model reaches moved into `low`.
UnaryArctic Normalized(const Solver& s, UnaryArctic a) {
  if (a.finite == s.False()) return UnaryMinusInfinity(s);
  while (!a.atLeast.empty() && a.atLeast.back() == s.False()) a.atLeast.pop_back();
  std::size_t drop = 0;
  while (drop < a.atLeast.size() && a.atLeast[drop] == a.finite) ++drop;
  a.atLeast.erase(a.atLeast.begin(), a.atLeast.begin() + static_cast<std::ptrdiff_t>(drop));
  a.low += static_cast<int>(drop);
  return a;
}

}  // namespace

UnaryArctic UnaryMinusInfinity(const Solver& s) {
  return UnaryArctic{s.False(), {}, 0};
}

UnaryArctic UnaryConstant(const Solver& s, int v) {
  return UnaryArctic{s.True(), {}, v};
}

UnaryArctic FreshUnaryArctic(Solver& s, int max) {
  return FreshUnaryArctic(s, 0, max);
}

UnaryArctic FreshUnaryArctic(Solver& s, int lowest, int highest) {
  assert(lowest <= highest);
  UnaryArctic a{s.NewVar(), {}, lowest};
  Lit below = a.finite;
  for (int v = lowest; v < highest; ++v) {
    const Lit l = s.NewVar();
    s.AddClause({-l, below});
    a.atLeast.push_back(below = l);
  }
  return a;
}

std::optional<std::int64_t> Value(const Solver& s, const UnaryArctic& a) {
  if (!s.Value(a.finite)) return std::nullopt;
  std::int64_t v = 0;
  while (v < a.range() && s.Value(a.atLeast[v])) ++v;
  return a.low + v;
}

Lit AtLeastValue(const Solver& s, const UnaryArctic& a, int v) {
  return v <= a.low ? a.finite : AtLeastRel(s, a, v - a.low);
}

UnaryArctic Max(Solver& s, const UnaryArctic& a, const UnaryArctic& b) {
  if (a.finite == s.False()) return b;
  if (b.finite == s.False()) return a;
  UnaryArctic m{Or(s, a.finite, b.finite), {}, std::min(a.low, b.low)};
  const int top = std::max(a.low + a.range(), b.low + b.range());
  for (int v = m.low + 1; v <= top; ++v)
    m.atLeast.push_back(Or(s, AtLeastValue(s, a, v), AtLeastValue(s, b, v)));
  return Normalized(s, std::move(m));
}

UnaryArctic Plus(Solver& s, const UnaryArctic& a, const UnaryArctic& b, int max) {
  return Plus(s, a, b, UnaryBounds{0, max});
}

// Threshold k of the sum (value >= low + k) holds iff a >= a.low + i and b >= b.low + k - i
// for some i; it fails iff for every i, a < a.low + i or b < b.low + k - i + 1. Both
// directions as clauses on a fresh literal, so that the sum is exact in every model.
UnaryArctic Plus(Solver& s, const UnaryArctic& a, const UnaryArctic& b, UnaryBounds bounds) {
  assert(bounds.lowest <= bounds.highest);
  const Lit finite = And(s, a.finite, b.finite);
  UnaryArctic sum{finite, {}, a.low + b.low};
  if (finite == s.False()) return UnaryMinusInfinity(s);
  if (sum.low > bounds.highest) {  // every finite sum is too large
    s.Require(-finite);
    return UnaryMinusInfinity(s);
  }
  const int top = a.range() + b.range();
  for (int k = 1; k <= top; ++k) {
    // The pairs (i, k - i) that reach k.
    std::vector<std::pair<Lit, Lit>> ways;
    for (int i = std::max(0, k - b.range()); i <= std::min(k, a.range()); ++i)
      ways.emplace_back(AtLeastRel(s, a, i), AtLeastRel(s, b, k - i));
    if (sum.low + k > bounds.highest) {  // too large: forbidden (larger sums reach this one)
      for (const auto& [x, y] : ways) s.AddClause({-x, -y});
      break;
    }
    Lit g;
    if (ways.size() == 1) {
      g = And(s, ways[0].first, ways[0].second);
    } else {
      g = s.NewVar();
      for (const auto& [x, y] : ways) s.AddClause({-x, -y, g});
      // a + b < low + k when a < a.low + i and b < b.low + k - i + 1 for some i in 1..k.
      for (int i = 1; i <= k; ++i)
        s.AddClause({-g, AtLeastRel(s, a, i), AtLeastRel(s, b, k - i + 1)});
      s.AddClause({-g, finite});
      if (!sum.atLeast.empty()) s.AddClause({-g, sum.atLeast.back()});
    }
    sum.atLeast.push_back(g);
  }
  if (sum.low < bounds.lowest) {  // a finite sum below the bound is forbidden
    const int need = bounds.lowest - sum.low;
    if (need > sum.range()) {
      s.Require(-finite);
      return UnaryMinusInfinity(s);
    }
    s.AddClause({-finite, AtLeastRel(s, sum, need)});
    sum.atLeast.erase(sum.atLeast.begin(), sum.atLeast.begin() + need);
    sum.low = bounds.lowest;
  }
  return Normalized(s, std::move(sum));
}

Lit Ge(Solver& s, const UnaryArctic& a, const UnaryArctic& b) {
  std::vector<Lit> all;
  for (int v = b.low; v <= b.low + b.range(); ++v)
    all.push_back(Implies(s, AtLeastValue(s, b, v), AtLeastValue(s, a, v)));
  return AndAll(s, all);
}

Lit Gt(Solver& s, const UnaryArctic& a, const UnaryArctic& b) {
  std::vector<Lit> all;
  for (int v = b.low; v <= b.low + b.range(); ++v)
    all.push_back(Implies(s, AtLeastValue(s, b, v), AtLeastValue(s, a, v + 1)));
  return AndAll(s, all);
}

}  // namespace velkin::sat
