// Arctic numbers (binary and unary), matrices and affine maps of the SAT layer against
// brute force over all small values; for unary numbers also exactness (once the inputs
// are fixed, no model gives a result another value).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>

#include "sat/arctic.h"
#include "sat/matrix.h"
#include "sat/unary_arctic.h"

namespace velkin::sat {
namespace {

using sat::NeverStop;
using A = std::optional<std::uint64_t>;  // nullopt is -∞

void Fix(const Nat& n, std::uint64_t v, std::vector<Lit>& as) {
  for (int i = 0; i < n.width(); ++i) as.push_back((v >> i) & 1 ? n.bits[i] : -n.bits[i]);
}
void Fix(const Arctic& x, A v, std::vector<Lit>& as) {
  as.push_back(v ? x.finite : -x.finite);
  Fix(x.value, v.value_or(0), as);
}

using SA = std::optional<std::int64_t>;  // an arctic integer; nullopt is -∞

void Fix(const UnaryArctic& x, SA v, std::vector<Lit>& as) {
  as.push_back(v ? x.finite : -x.finite);
  for (int i = 0; i < x.range(); ++i)
    as.push_back(v && *v > x.low + i ? x.atLeast[i] : -x.atLeast[i]);
}
void Fix(const UnaryArctic& x, A v, std::vector<Lit>& as) {
  Fix(x, v ? SA(static_cast<std::int64_t>(*v)) : std::nullopt, as);
}

// The reference semantics, written independently of the encoding; V is A or SA.
template <class V>
V RefMax(V a, V b) {
  if (!a) return b;
  if (!b) return a;
  return std::max(*a, *b);
}
template <class V>
V RefPlus(V a, V b) {
  return a && b ? V(*a + *b) : std::nullopt;
}
template <class V>
bool RefGe(V a, V b) {
  return !b || (a && *a >= *b);
}
template <class V>
bool RefGt(V a, V b) {
  return !b || (a && *a > *b);
}

std::vector<A> AllArctic(int width) {
  std::vector<A> all{std::nullopt};
  for (std::uint64_t v = 0; v < (1u << width); ++v) all.push_back(v);
  return all;
}

TEST(SatArctic, OperationsMatchBruteForceAndMinusInfinityHasOneForm) {
  for (int cap : {2, 3}) {
    Solver s, plus_s;
    const Arctic x = FreshArctic(s, 2), y = FreshArctic(s, 2);
    const Arctic mx = Max(s, x, y);
    const Lit ge = Ge(s, x, y), gt = Gt(s, x, y), eq = Eq(s, x, y);
    const Arctic px = FreshArctic(plus_s, 2), py = FreshArctic(plus_s, 2);
    const Arctic sum = Plus(plus_s, px, py, cap);
    for (A a : AllArctic(2))
      for (A b : AllArctic(2)) {
        SCOPED_TRACE(testing::Message() << a.value_or(99) << " and " << b.value_or(99));
        std::vector<Lit> as;
        Fix(x, a, as), Fix(y, b, as);
        ASSERT_EQ(s.Solve(NeverStop(), as), Solver::Outcome::Sat);
        EXPECT_EQ(Value(s, mx), RefMax(a, b));
        EXPECT_EQ(s.Value(ge), RefGe(a, b));
        EXPECT_EQ(s.Value(gt), RefGt(a, b));
        EXPECT_EQ(s.Value(eq), a == b);
        std::vector<Lit> ps;
        Fix(px, a, ps), Fix(py, b, ps);
        const A want = RefPlus(a, b);
        const bool fits = !want || *want < (1u << cap);
        ASSERT_EQ(plus_s.Solve(NeverStop(), ps),
                  fits ? Solver::Outcome::Sat : Solver::Outcome::Unsat);
        if (fits) {
          EXPECT_EQ(Value(plus_s, sum), want);
        }
      }
  }
  // A 2-bit arctic number has exactly 5 models: -∞ and 0..3.
  Solver s;
  const Arctic x = FreshArctic(s, 2);
  int models = 0;
  while (s.Solve(NeverStop()) == Solver::Outcome::Sat) {
    ++models;
    s.AddClause({s.Value(x.finite) ? -x.finite : x.finite,
                 s.Value(x.value.bits[0]) ? -x.value.bits[0] : x.value.bits[0],
                 s.Value(x.value.bits[1]) ? -x.value.bits[1] : x.value.bits[1]});
  }
  EXPECT_EQ(models, 5);
}

// All pairs of 2×2 arctic matrices with entries from `vals` (three values, made by
// `fresh`): the max-plus product (by `mul`) and the entrywise comparisons against direct
// computation.
template <class V, class Fresh, class Mul>
void CheckArcticProducts(const std::vector<V>& vals, Fresh fresh, Mul mul) {
  ASSERT_EQ(vals.size(), 3u);
  Solver t;
  const auto x = fresh(t), y = fresh(t);
  const auto xy = mul(t, x, y);
  const Lit xge = Ge(t, x, y), xgt = Gt(t, x, y);
  for (int mx = 0; mx < 81; ++mx)
    for (int my = 0; my < 81; ++my) {
      V ex[4], ey[4];
      for (int k = 0, u = mx, v = my; k < 4; ++k, u /= 3, v /= 3)
        ex[k] = vals[u % 3], ey[k] = vals[v % 3];
      std::vector<Lit> as;
      for (int k = 0; k < 4; ++k) Fix(x.entries[k], ex[k], as), Fix(y.entries[k], ey[k], as);
      ASSERT_EQ(t.Solve(NeverStop(), as), Solver::Outcome::Sat);
      const auto p = Values(t, xy);
      bool all_ge = true, all_gt = true;
      for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
          EXPECT_EQ(p[2 * i + j],
                    RefMax(RefPlus(ex[2 * i], ey[j]), RefPlus(ex[2 * i + 1], ey[2 + j])));
          all_ge = all_ge && RefGe(ex[2 * i + j], ey[2 * i + j]);
          all_gt = all_gt && RefGt(ex[2 * i + j], ey[2 * i + j]);
        }
      EXPECT_EQ(t.Value(xge), all_ge);
      EXPECT_EQ(t.Value(xgt), all_gt);
    }
}

// All 2×2 matrices with entries 0..1 (naturals) or -∞, 0, 1 (arctic): products, sums and
// the entrywise comparisons against direct computation.
TEST(SatMatrix, TwoByTwoProductsMatchBruteForce) {
  Solver s;
  const NatMatrix a = FreshNatMatrix(s, 2, 2, 1), b = FreshNatMatrix(s, 2, 2, 1);
  const NatMatrix ab = Mul(s, a, b, 3), sum = Add(s, a, b, 3);
  const Lit ge = Ge(s, a, b);
  for (int ma = 0; ma < 16; ++ma)
    for (int mb = 0; mb < 16; ++mb) {
      auto e = [](int m, int i, int j) -> std::uint64_t { return (m >> (2 * i + j)) & 1; };
      std::vector<Lit> as;
      for (int k = 0; k < 4; ++k)
        Fix(a.entries[k], (ma >> k) & 1, as), Fix(b.entries[k], (mb >> k) & 1, as);
      ASSERT_EQ(s.Solve(NeverStop(), as), Solver::Outcome::Sat);
      const auto p = Values(s, ab), q = Values(s, sum);
      bool all_ge = true;
      for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
          EXPECT_EQ(p[2 * i + j], e(ma, i, 0) * e(mb, 0, j) + e(ma, i, 1) * e(mb, 1, j));
          EXPECT_EQ(q[2 * i + j], e(ma, i, j) + e(mb, i, j));
          all_ge = all_ge && e(ma, i, j) >= e(mb, i, j);
        }
      EXPECT_EQ(s.Value(ge), all_ge);
    }

  CheckArcticProducts(
      AllArctic(1), [](Solver& s) { return FreshArcticMatrix(s, 2, 2, 1); },
      [](Solver& s, const ArcticMatrix& x, const ArcticMatrix& y) { return Mul(s, x, y, 2); });
  // Unary: the product as the matrix of a composition, whose vector is -∞ on the right.
  CheckArcticProducts(
      AllArctic(1), [](Solver& s) { return FreshUnaryArcticMatrix(s, 2, 2, 1); },
      [](Solver& s, const UnaryArcticMatrix& x, const UnaryArcticMatrix& y) {
        const UnaryArcticAffine f{x, FreshUnaryArcticMatrix(s, 2, 1, 1)};
        return Compose(s, f, UnaryArcticAffine{y, UnaryArcticAffineIdentity(s, 2).c}, 2).m;
      });
}

// Unary arctic integers: the product of all pairs of 2×2 matrices with entries -∞, -1
// and 1 and their comparisons against direct computation, under bounds that the results
// reach; the identity is neutral.
TEST(SatMatrix, UnaryIntegerProductsMatchBruteForce) {
  const std::vector<SA> vals{std::nullopt, -1, 1};
  CheckArcticProducts(
      vals, [](Solver& s) { return FreshUnaryArcticMatrix(s, 2, 2, -1, 1); },
      [](Solver& s, const UnaryArcticMatrix& x, const UnaryArcticMatrix& y) {
        return Mul(s, x, y, UnaryBounds{-2, 2});
      });
  Solver t;
  const UnaryArcticMatrix x = FreshUnaryArcticMatrix(t, 2, 2, -1, 1);
  const UnaryArcticMatrix xi = Mul(t, x, UnaryArcticIdentity(t, 2), UnaryBounds{-2, 2});
  for (int mx = 0; mx < 81; ++mx) {
    SA ex[4];
    for (int k = 0, u = mx; k < 4; ++k, u /= 3) ex[k] = vals[u % 3];
    std::vector<Lit> as;
    for (int k = 0; k < 4; ++k) Fix(x.entries[k], ex[k], as);
    ASSERT_EQ(t.Solve(NeverStop(), as), Solver::Outcome::Sat);
    const auto q = Values(t, xi);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(q[k], ex[k]);
  }
}

// Composition of affine maps is application: (f ∘ g)(x) = f(g(x)) on every small map pair,
// and the identity map is neutral.
TEST(SatMatrix, AffineCompositionIsApplication) {
  Solver s;
  const NatAffine f{FreshNatMatrix(s, 2, 2, 1), FreshNatMatrix(s, 2, 1, 1)};
  const NatAffine g{FreshNatMatrix(s, 2, 2, 1), FreshNatMatrix(s, 2, 1, 1)};
  const NatAffine fg = Compose(s, f, g, 4);
  const NatAffine fi = Compose(s, f, NatAffineIdentity(s, 2), 4);
  for (int mf = 0; mf < 64; ++mf)
    for (int mg = 0; mg < 64; ++mg) {
      std::vector<Lit> as;
      for (int k = 0; k < 4; ++k)
        Fix(f.m.entries[k], (mf >> k) & 1, as), Fix(g.m.entries[k], (mg >> k) & 1, as);
      for (int k = 0; k < 2; ++k)
        Fix(f.c.entries[k], (mf >> (4 + k)) & 1, as), Fix(g.c.entries[k], (mg >> (4 + k)) & 1, as);
      ASSERT_EQ(s.Solve(NeverStop(), as), Solver::Outcome::Sat);
      const auto fm = Values(s, f.m), fc = Values(s, f.c), gm = Values(s, g.m), gc = Values(s, g.c);
      const auto m = Values(s, fg.m), c = Values(s, fg.c);
      // Apply both maps to the unit vectors and to 0: that determines an affine map.
      auto apply = [](const std::vector<std::uint64_t>& M, const std::vector<std::uint64_t>& C,
                      std::uint64_t x0, std::uint64_t x1) {
        return std::vector<std::uint64_t>{M[0] * x0 + M[1] * x1 + C[0],
                                          M[2] * x0 + M[3] * x1 + C[1]};
      };
      for (auto [x0, x1] : {std::pair{0u, 0u}, {1u, 0u}, {0u, 1u}, {2u, 3u}}) {
        const auto inner = apply(gm, gc, x0, x1);
        EXPECT_EQ(apply(m, c, x0, x1), apply(fm, fc, inner[0], inner[1]));
      }
      EXPECT_EQ(Values(s, fi.m), fm);
      EXPECT_EQ(Values(s, fi.c), fc);
    }
}

const std::vector<A> kUpTo3{std::nullopt, 0, 1, 2, 3};

SA Signed(A a) {
  return a ? SA(static_cast<std::int64_t>(*a)) : std::nullopt;
}

// True when, under `as`, every model gives `x` the value `want`.
bool Forced(Solver& s, const std::vector<Lit>& as, const UnaryArctic& x, SA want) {
  std::vector<Lit> other = as;
  // Some threshold or the finiteness differs from `want`: one clause over an activator.
  const Lit act = s.NewVar();
  std::vector<Lit> differs{-act, want ? -x.finite : x.finite};
  for (int i = 0; i < x.range(); ++i)
    differs.push_back(want && *want > x.low + i ? -x.atLeast[i] : x.atLeast[i]);
  s.AddClause(differs);
  other.push_back(act);
  const bool forced = s.Solve(NeverStop(), other) == Solver::Outcome::Unsat;
  s.Require(-act);
  return forced;
}

TEST(SatUnaryArctic, OperationsAreExactAndMatchBruteForce) {
  for (int max : {2, 4, 6}) {
    Solver s;
    const UnaryArctic x = FreshUnaryArctic(s, 3), y = FreshUnaryArctic(s, 3);
    const UnaryArctic mx = Max(s, x, y);
    const Lit ge = Ge(s, x, y), gt = Gt(s, x, y);
    Solver plus_s;
    const UnaryArctic px = FreshUnaryArctic(plus_s, 3), py = FreshUnaryArctic(plus_s, 3);
    const UnaryArctic sum = Plus(plus_s, px, py, max);
    for (A a : kUpTo3)
      for (A b : kUpTo3) {
        SCOPED_TRACE(testing::Message()
                     << a.value_or(99) << " and " << b.value_or(99) << ", max " << max);
        std::vector<Lit> as;
        Fix(x, a, as), Fix(y, b, as);
        ASSERT_EQ(s.Solve(NeverStop(), as), Solver::Outcome::Sat);
        EXPECT_EQ(Value(s, mx), Signed(RefMax(a, b)));
        EXPECT_EQ(s.Value(ge), RefGe(a, b));
        EXPECT_EQ(s.Value(gt), RefGt(a, b));
        EXPECT_TRUE(Forced(s, as, mx, Signed(RefMax(a, b))));
        std::vector<Lit> ps;
        Fix(px, a, ps), Fix(py, b, ps);
        const A want = RefPlus(a, b);
        const bool fits = !want || *want <= static_cast<std::uint64_t>(max);
        ASSERT_EQ(plus_s.Solve(NeverStop(), ps),
                  fits ? Solver::Outcome::Sat : Solver::Outcome::Unsat);
        if (!fits) continue;
        EXPECT_EQ(Value(plus_s, sum), Signed(want));
        EXPECT_TRUE(Forced(plus_s, ps, sum, Signed(want)));
      }
  }
  // A number up to 3 has exactly 5 models: -∞ and 0..3; constants are what they say.
  Solver s;
  const UnaryArctic x = FreshUnaryArctic(s, 3);
  int models = 0;
  while (s.Solve(NeverStop()) == Solver::Outcome::Sat) {
    ++models;
    std::vector<Lit> other{s.Value(x.finite) ? -x.finite : x.finite};
    for (Lit l : x.atLeast) other.push_back(s.Value(l) ? -l : l);
    s.AddClause(other);
  }
  EXPECT_EQ(models, 5);
  Solver t;
  const UnaryArctic two = UnaryConstant(t, 2), none = UnaryMinusInfinity(t);
  ASSERT_EQ(t.Solve(NeverStop()), Solver::Outcome::Sat);
  EXPECT_EQ(Value(t, two), SA(2));
  EXPECT_EQ(Value(t, none), std::nullopt);
}

// The reference semantics on Z ∪ {-∞}.
SA IMax(SA a, SA b) {
  if (!a) return b;
  if (!b) return a;
  return std::max(*a, *b);
}
SA IPlus(SA a, SA b) {
  return a && b ? SA(*a + *b) : std::nullopt;
}
bool IGe(SA a, SA b) {
  return !b || (a && *a >= *b);
}
bool IGt(SA a, SA b) {
  return !b || (a && *a > *b);
}

// Integers below zero: numbers of different lowest values (so that Max and the
// comparisons must align them), sums under both bounds, exactness, and the threshold
// literal that the letters' conditions use.
TEST(SatUnaryArctic, IntegersMatchBruteForceUnderBothBounds) {
  struct Range {
    int lowest, highest;
  };
  for (const auto& [rx, ry] : {std::pair{Range{-2, 1}, Range{-1, 2}}, {Range{-3, -1}, Range{0, 2}}})
    for (const UnaryBounds bounds : {UnaryBounds{-2, 2}, UnaryBounds{-6, 6}, UnaryBounds{0, 1}}) {
      Solver s, plus_s;
      const UnaryArctic x = FreshUnaryArctic(s, rx.lowest, rx.highest),
                        y = FreshUnaryArctic(s, ry.lowest, ry.highest);
      const UnaryArctic mx = Max(s, x, y);
      const Lit ge = Ge(s, x, y), gt = Gt(s, x, y), le = Ge(s, y, x), lt = Gt(s, y, x);
      const Lit nonNegative = AtLeastValue(s, x, 0), atLeastOne = AtLeastValue(s, y, 1);
      const UnaryArctic px = FreshUnaryArctic(plus_s, rx.lowest, rx.highest),
                        py = FreshUnaryArctic(plus_s, ry.lowest, ry.highest);
      const UnaryArctic sum = Plus(plus_s, px, py, bounds);
      std::vector<SA> xs{std::nullopt}, ys{std::nullopt};
      for (int v = rx.lowest; v <= rx.highest; ++v) xs.push_back(v);
      for (int v = ry.lowest; v <= ry.highest; ++v) ys.push_back(v);
      for (SA a : xs)
        for (SA b : ys) {
          SCOPED_TRACE(testing::Message()
                       << a.value_or(99) << " and " << b.value_or(99) << ", bounds "
                       << bounds.lowest << ".." << bounds.highest);
          std::vector<Lit> as;
          Fix(x, a, as), Fix(y, b, as);
          ASSERT_EQ(s.Solve(NeverStop(), as), Solver::Outcome::Sat);
          EXPECT_EQ(Value(s, x), a);
          EXPECT_EQ(Value(s, mx), IMax(a, b));
          EXPECT_EQ(s.Value(ge), IGe(a, b));
          EXPECT_EQ(s.Value(gt), IGt(a, b));
          EXPECT_EQ(s.Value(le), IGe(b, a));
          EXPECT_EQ(s.Value(lt), IGt(b, a));
          EXPECT_EQ(s.Value(nonNegative), a && *a >= 0);
          EXPECT_EQ(s.Value(atLeastOne), b && *b >= 1);
          EXPECT_TRUE(Forced(s, as, mx, IMax(a, b)));  // after reading the model
          std::vector<Lit> ps;
          Fix(px, a, ps), Fix(py, b, ps);
          const SA want = IPlus(a, b);
          const bool fits = !want || (*want >= bounds.lowest && *want <= bounds.highest);
          ASSERT_EQ(plus_s.Solve(NeverStop(), ps),
                    fits ? Solver::Outcome::Sat : Solver::Outcome::Unsat);
          if (!fits) continue;
          EXPECT_EQ(Value(plus_s, sum), want);
          EXPECT_TRUE(Forced(plus_s, ps, sum, want));
        }
    }
  Solver t;
  const UnaryArctic minus = UnaryConstant(t, -3);
  const UnaryArctic fresh = FreshUnaryArctic(t, -2, 0);
  int models = 0;  // -∞, -2, -1, 0
  while (t.Solve(NeverStop()) == Solver::Outcome::Sat) {
    ++models;
    EXPECT_EQ(Value(t, minus), SA(-3));
    std::vector<Lit> other{t.Value(fresh.finite) ? -fresh.finite : fresh.finite};
    for (Lit l : fresh.atLeast) other.push_back(t.Value(l) ? -l : l);
    t.AddClause(other);
  }
  EXPECT_EQ(models, 4);
}

// Composition of 2×2 affine maps over Z ∪ {-∞} (entries -∞, -1, 0, 1 in a sample of all
// pairs) is application at the points that determine a max-plus map.
TEST(SatUnaryArctic, IntegerCompositionIsApplication) {
  Solver s;
  auto fresh = [&](int rows, int cols) { return FreshUnaryArcticMatrix(s, rows, cols, -1, 1); };
  const UnaryArcticAffine f{fresh(2, 2), fresh(2, 1)}, g{fresh(2, 2), fresh(2, 1)};
  const UnaryArcticAffine fg = Compose(s, f, g, UnaryBounds{-2, 2});
  const SA vals[4] = {std::nullopt, -1, 0, 1};
  // Applies x ↦ M x ⊕ c to x.
  auto apply = [](const std::vector<SA>& m, const std::vector<SA>& c, const std::vector<SA>& x) {
    std::vector<SA> out;
    for (int i = 0; i < 2; ++i)
      out.push_back(IMax(IMax(IPlus(m[2 * i], x[0]), IPlus(m[2 * i + 1], x[1])), c[i]));
    return out;
  };
  std::uint32_t state = 12345;
  for (int round = 0; round < 3000; ++round) {
    std::vector<Lit> as;
    std::vector<SA> e[4];
    const UnaryArcticMatrix* parts[4] = {&f.m, &f.c, &g.m, &g.c};
    for (int k = 0; k < 4; ++k)
      for (const UnaryArctic& x : parts[k]->entries) {
        state = state * 1103515245u + 12345u;
        e[k].push_back(vals[(state >> 16) % 4]);
        Fix(x, e[k].back(), as);
      }
    ASSERT_EQ(s.Solve(NeverStop(), as), Solver::Outcome::Sat);
    const auto m = Values(s, fg.m), c = Values(s, fg.c);
    for (const std::vector<SA>& x :
         {std::vector<SA>{std::nullopt, std::nullopt}, std::vector<SA>{0, std::nullopt},
          std::vector<SA>{std::nullopt, 0}}) {
      // Within the bounds every finite entry of f ∘ g lies in [-2, 2].
      EXPECT_EQ(apply(m, c, x), apply(e[0], e[1], apply(e[2], e[3], x)));
    }
  }
}

}  // namespace
}  // namespace velkin::sat
