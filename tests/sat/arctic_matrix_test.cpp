// Arctic numbers, matrices and affine maps of the SAT layer against brute force over all
// small values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>

#include "sat/arctic.h"
#include "sat/matrix.h"

namespace velkin::sat {
namespace {

using strong::Budget;
using A = std::optional<std::uint64_t>;  // nullopt is -∞

void Fix(const Nat& n, std::uint64_t v, std::vector<Lit>& as) {
  for (int i = 0; i < n.width(); ++i) as.push_back((v >> i) & 1 ? n.bits[i] : -n.bits[i]);
}
void Fix(const Arctic& x, A v, std::vector<Lit>& as) {
  as.push_back(v ? x.finite : -x.finite);
  Fix(x.value, v.value_or(0), as);
}

// The reference semantics, written independently of the encoding.
A RefMax(A a, A b) {
  if (!a) return b;
  if (!b) return a;
  return std::max(*a, *b);
}
A RefPlus(A a, A b) {
  return a && b ? A(*a + *b) : std::nullopt;
}
bool RefGe(A a, A b) {
  return !b || (a && *a >= *b);
}
bool RefGt(A a, A b) {
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
        ASSERT_EQ(s.Solve(Budget(), as), Solver::Outcome::Sat);
        EXPECT_EQ(Value(s, mx), RefMax(a, b));
        EXPECT_EQ(s.Value(ge), RefGe(a, b));
        EXPECT_EQ(s.Value(gt), RefGt(a, b));
        EXPECT_EQ(s.Value(eq), a == b);
        std::vector<Lit> ps;
        Fix(px, a, ps), Fix(py, b, ps);
        const A want = RefPlus(a, b);
        const bool fits = !want || *want < (1u << cap);
        ASSERT_EQ(plus_s.Solve(Budget(), ps), fits ? Solver::Outcome::Sat : Solver::Outcome::Unsat);
        if (fits) {
          EXPECT_EQ(Value(plus_s, sum), want);
        }
      }
  }
  // A 2-bit arctic number has exactly 5 models: -∞ and 0..3.
  Solver s;
  const Arctic x = FreshArctic(s, 2);
  int models = 0;
  while (s.Solve(Budget()) == Solver::Outcome::Sat) {
    ++models;
    s.AddClause({s.Value(x.finite) ? -x.finite : x.finite,
                 s.Value(x.value.bits[0]) ? -x.value.bits[0] : x.value.bits[0],
                 s.Value(x.value.bits[1]) ? -x.value.bits[1] : x.value.bits[1]});
  }
  EXPECT_EQ(models, 5);
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
      ASSERT_EQ(s.Solve(Budget(), as), Solver::Outcome::Sat);
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

  Solver t;
  const ArcticMatrix x = FreshArcticMatrix(t, 2, 2, 1), y = FreshArcticMatrix(t, 2, 2, 1);
  const ArcticMatrix xy = Mul(t, x, y, 2);
  const Lit xge = Ge(t, x, y), xgt = Gt(t, x, y);
  const std::vector<A> vals = AllArctic(1);
  for (int mx = 0; mx < 81; ++mx)
    for (int my = 0; my < 81; ++my) {
      A ex[4], ey[4];
      for (int k = 0, u = mx, v = my; k < 4; ++k, u /= 3, v /= 3)
        ex[k] = vals[u % 3], ey[k] = vals[v % 3];
      std::vector<Lit> as;
      for (int k = 0; k < 4; ++k) Fix(x.entries[k], ex[k], as), Fix(y.entries[k], ey[k], as);
      ASSERT_EQ(t.Solve(Budget(), as), Solver::Outcome::Sat);
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
      ASSERT_EQ(s.Solve(Budget(), as), Solver::Outcome::Sat);
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

}  // namespace
}  // namespace velkin::sat
