// The SAT layer's solver, gates and bounded naturals against brute force over all small
// values: each operation's output must be the exact result, and a result that does not
// fit its cap must make the problem unsatisfiable (never wrap around).
#include "sat/nat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <set>
#include <utility>

#include "sat/gates.h"
#include "sat/solver.h"

namespace velkin::sat {
namespace {

using Clock = std::chrono::steady_clock;

// A stop condition set from the start, or one that holds from a deadline on.
class TestStop final : public Stop {
 public:
  explicit TestStop(bool set, Clock::time_point deadline = Clock::time_point::max())
      : set_(set), deadline_(deadline) {}
  bool Expired() const override { return set_ || Clock::now() >= deadline_; }

 private:
  bool set_;
  Clock::time_point deadline_;
};

// Assumptions that give `n` the value v.
void Fix(const Nat& n, std::uint64_t v, std::vector<Lit>& assumptions) {
  for (int i = 0; i < n.width(); ++i) assumptions.push_back((v >> i) & 1 ? n.bits[i] : -n.bits[i]);
}

TEST(SatGates, EveryGateMatchesItsTruthTable) {
  Solver s;
  const Lit a = s.NewVar(), b = s.NewVar(), c = s.NewVar();
  const Lit g_and = And(s, a, b), g_or = Or(s, a, b), g_xor = Xor(s, a, -b),
            g_ite = Ite(s, a, b, c), g_maj = Majority(s, a, b, c), g_all = AndAll(s, {a, b, c}),
            g_any = OrAll(s, {a, -b, c});
  EXPECT_EQ(And(s, b, a), g_and) << "equal gates are shared";
  for (int m = 0; m < 8; ++m) {
    const bool x = m & 1, y = m & 2, z = m & 4;
    ASSERT_EQ(s.Solve(NeverStop(), {x ? a : -a, y ? b : -b, z ? c : -c}), Solver::Outcome::Sat);
    EXPECT_EQ(s.Value(g_and), x && y);
    EXPECT_EQ(s.Value(g_or), x || y);
    EXPECT_EQ(s.Value(g_xor), x != !y);
    EXPECT_EQ(s.Value(g_ite), x ? y : z);
    EXPECT_EQ(s.Value(g_maj), (x + y + z) >= 2);
    EXPECT_EQ(s.Value(g_all), x && y && z);
    EXPECT_EQ(s.Value(g_any), x || !y || z);
  }
  // Constants fold without new variables.
  const int vars = s.Vars();
  EXPECT_EQ(And(s, a, s.True()), a);
  EXPECT_EQ(Or(s, a, s.True()), s.True());
  EXPECT_EQ(Xor(s, a, a), s.False());
  EXPECT_EQ(Ite(s, s.False(), a, b), b);
  EXPECT_EQ(AndAll(s, {}), s.True());
  EXPECT_EQ(s.Vars(), vars);
}

// For every width pair and cap: a + b and a · b are exact when they fit and unsat
// otherwise; max and the comparisons are exact.
TEST(SatNat, ArithmeticAndComparisonsMatchBruteForce) {
  for (int wa : {2, 3})
    for (int wb : {1, 2, 3})
      for (int cap : {2, 3, 4, 6}) {
        Solver add_s, mul_s, cmp_s;
        const Nat xa = FreshNat(add_s, wa), ya = FreshNat(add_s, wb);
        const Nat sum = Add(add_s, xa, ya, cap);
        const Nat xm = FreshNat(mul_s, wa), ym = FreshNat(mul_s, wb);
        const Nat prod = Mul(mul_s, xm, ym, cap);
        const Nat xc = FreshNat(cmp_s, wa), yc = FreshNat(cmp_s, wb);
        const Nat mx = Max(cmp_s, xc, yc);
        const Lit ge = Ge(cmp_s, xc, yc), gt = Gt(cmp_s, xc, yc), eq = Eq(cmp_s, xc, yc);
        EXPECT_LE(sum.width(), cap);
        EXPECT_LE(prod.width(), cap);
        for (std::uint64_t a = 0; a < (1u << wa); ++a)
          for (std::uint64_t b = 0; b < (1u << wb); ++b) {
            SCOPED_TRACE(testing::Message()
                         << a << " and " << b << " widths " << wa << "," << wb << " cap " << cap);
            const std::uint64_t limit = std::uint64_t{1} << cap;
            std::vector<Lit> as;
            Fix(xa, a, as), Fix(ya, b, as);
            const auto r_add = add_s.Solve(NeverStop(), as);
            EXPECT_EQ(r_add, a + b < limit ? Solver::Outcome::Sat : Solver::Outcome::Unsat);
            if (r_add == Solver::Outcome::Sat) {
              EXPECT_EQ(Value(add_s, sum), a + b);
            }
            std::vector<Lit> ms;
            Fix(xm, a, ms), Fix(ym, b, ms);
            const auto r_mul = mul_s.Solve(NeverStop(), ms);
            EXPECT_EQ(r_mul, a * b < limit ? Solver::Outcome::Sat : Solver::Outcome::Unsat);
            if (r_mul == Solver::Outcome::Sat) {
              EXPECT_EQ(Value(mul_s, prod), a * b);
            }
            std::vector<Lit> cs;
            Fix(xc, a, cs), Fix(yc, b, cs);
            ASSERT_EQ(cmp_s.Solve(NeverStop(), cs), Solver::Outcome::Sat);
            EXPECT_EQ(Value(cmp_s, mx), std::max(a, b));
            EXPECT_EQ(cmp_s.Value(ge), a >= b);
            EXPECT_EQ(cmp_s.Value(gt), a > b);
            EXPECT_EQ(cmp_s.Value(eq), a == b);
          }
      }
}

// Searching, not just evaluating: the models of a small constraint system are exactly the
// pairs that brute force finds (nothing lost to overflow clauses, nothing spurious), with
// either tuning of the solver.
class SatTuned : public ::testing::TestWithParam<Tuning> {};

TEST_P(SatTuned, ModelsOfAConstraintSystemAreExactlyItsSolutions) {
  Solver s(GetParam());
  const Nat x = FreshNat(s, 3), y = FreshNat(s, 3);
  // x · y + x = 12 with x > y, under a cap of 4 bits.
  const Nat lhs = Add(s, Mul(s, x, y, 4), x, 4);
  s.Require(Eq(s, lhs, Constant(s, 12)));
  s.Require(Gt(s, x, y));
  std::set<std::pair<std::uint64_t, std::uint64_t>> found, expected;
  while (s.Solve(NeverStop()) == Solver::Outcome::Sat) {
    const std::uint64_t a = Value(s, x), b = Value(s, y);
    ASSERT_TRUE(found.insert({a, b}).second) << "a model repeated";
    std::vector<Lit> block;
    for (const Nat* n : {&x, &y})
      for (Lit l : n->bits) block.push_back(s.Value(l) ? -l : l);
    s.AddClause(block);
  }
  for (std::uint64_t a = 0; a < 8; ++a)
    for (std::uint64_t b = 0; b < 8; ++b)
      if (a * b + a == 12 && a > b) expected.insert({a, b});
  EXPECT_EQ(found, expected);
  EXPECT_FALSE(expected.empty());
}

// A stop condition that holds stops the solver at once, and a deadline stops a hard
// search (pigeonhole: 11 pigeons, 10 holes) within a fraction of a second of passing.
TEST_P(SatTuned, StopConditionEndsTheSearchPromptly) {
  Solver s(GetParam());
  constexpr int kPigeons = 11, kHoles = 10;
  std::vector<std::vector<Lit>> in(kPigeons, std::vector<Lit>(kHoles));
  for (auto& row : in)
    for (Lit& l : row) l = s.NewVar();
  for (const auto& row : in) s.AddClause(row);
  for (int h = 0; h < kHoles; ++h)
    for (int p = 0; p < kPigeons; ++p)
      for (int q = p + 1; q < kPigeons; ++q) s.AddClause({-in[p][h], -in[q][h]});

  EXPECT_EQ(s.Solve(TestStop(true)), Solver::Outcome::Stopped);

  const auto start = Clock::now();
  EXPECT_EQ(s.Solve(TestStop(false, start + std::chrono::milliseconds(200))),
            Solver::Outcome::Stopped);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(700));
}

INSTANTIATE_TEST_SUITE_P(BothTunings, SatTuned, ::testing::Values(Tuning::Default, Tuning::Models),
                         [](const auto& info) {
                           return info.param == Tuning::Models ? "Models" : "Default";
                         });

}  // namespace
}  // namespace velkin::sat
