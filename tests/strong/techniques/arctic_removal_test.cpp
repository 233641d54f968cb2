// Arctic rule removal: found steps re-check, a hand-checked witness and its corruptions,
// no step on non-terminating problems, arctic integers against their measure, the printed
// form, and what it refuses to touch.
#include "strong/techniques/arctic_removal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>

#include "../strong_test_util.h"
#include "strong/techniques/reversal.h"

namespace velkin::strong {
namespace {

using test::Plain;

ArcticRemovalOptions Options(int dimension, int bits = 2) {
  ArcticRemovalOptions o;
  o.dimension = dimension;
  o.bits = bits;
  return o;
}

Result Remove(const Problem& p, const ArcticRemovalOptions& o) {
  return ArcticRuleRemoval(p, Budget().Within(std::chrono::seconds(20)), o);
}

const ArcticRemovalWitness& WitnessOf(const Result& r) {
  return dynamic_cast<const ArcticRemovalWitness&>(*r.witness);
}

constexpr ArcticValue kInf = std::nullopt;

TEST(ArcticRuleRemoval, RemovesRulesThatNoSmallerArcticOrderCan) {
  // a a -> a b a: in dimension 1, [aa] = 2[a] < [aba] = 2[a] + [b] with [b] >= 0, so no
  // weights; in dimension 2 a b can pass through -∞ entries of M_b.
  // Either tuning of the solver finds the same answers.
  const Problem grow = Plain({"aa->aba"});
  for (const sat::Tuning t : {sat::Tuning::Default, sat::Tuning::Models}) {
    ArcticRemovalOptions one = Options(1, 4), two = Options(2);
    one.tuning = two.tuning = t;
    EXPECT_EQ(Remove(grow, one).kind, Result::Kind::Nothing);
    const Result r = Remove(grow, two);
    ASSERT_EQ(r.kind, Result::Kind::Transformed);
    EXPECT_EQ(RecheckResult(grow, r), "");
    EXPECT_TRUE(r.subproblems[0].strict.empty());
  }

  // Relative: a a b -> b b a with the weak b ->= b b (which no natural matrix order in
  // dimension 1 can keep weak while a a b decreases): removed, the weak rule stays.
  const Problem rel = Plain({"aab->bba", "b->=bb"});
  const Result r2 = Remove(rel, Options(2));
  ASSERT_EQ(r2.kind, Result::Kind::Transformed);
  EXPECT_EQ(RecheckResult(rel, r2), "");
  EXPECT_EQ(WitnessOf(r2).removedStrict, std::vector<int>{0});
  EXPECT_TRUE(r2.subproblems[0].strict.empty());
  EXPECT_EQ(r2.subproblems[0].weak, rel.weak);
}

// A search that claims a step on a problem with an infinite derivation is unsound
// whatever the re-check says; try every small size.
TEST(ArcticRuleRemoval, FindsNothingOnNonTerminatingProblems) {
  const std::vector<Problem> looping = {
      Plain({"ab->ba", "b->=bb"}),  // a passes ever new b's
      Plain({"a->aa", "b->=b"}),    // a -> a a: the (1,1) entry of [a] cannot drop
      Plain({"ab->bab"}),           // a b ->+ b a b ->... ab again to the right
      Plain({"a->b", "b->=a"}),     // a b a b ... by both
      Plain({"ac->c", "->=a"}),     // c -> a c -> c: the weak rule puts back what goes
  };
  for (const Problem& p : looping)
    for (int d = 1; d <= 3; ++d)
      for (const int belowZero : {0, 2})
        for (const sat::Tuning t : {sat::Tuning::Default, sat::Tuning::Models}) {
          ArcticRemovalOptions o = Options(d, belowZero ? 2 : 3);
          o.belowZero = belowZero;
          o.tuning = t;
          EXPECT_EQ(Remove(p, o).kind, Result::Kind::Nothing)
              << RuleText(p.alphabet, p.strict[0]) << ", dimension " << d << ", below zero "
              << belowZero << ", tuned for models " << (t == sat::Tuning::Models);
        }
}

TEST(ArcticRemovalWitness, RecheckAcceptsAHandProofAndRejectsCorruptions) {
  // a -> b, b ->= b b over the letters a, b in dimension 2:
  //   M_a = | 1 -∞ |   M_b = | 0 -∞ |
  //         | -∞ 0 |         | -∞ -∞ |
  // M_a > M_b entrywise (1 > 0, -∞ on the right elsewhere), and M_bb = M_b: weak.
  const Problem p = Plain({"a->b", "b->=bb"});
  ArcticRemovalWitness w;
  w.dimension = 2;
  w.letters = {std::vector<ArcticValue>{1, kInf, kInf, 0},
               std::vector<ArcticValue>{0, kInf, kInf, kInf}};
  w.removedStrict = {0};
  const Problem rest = WithoutRules(p, {0}, {});
  EXPECT_EQ(w.Recheck(p, {rest}), "");

  ArcticRemovalWitness bad = w;
  (*bad.letters[1])[0] = 1;  // now equal corners: not strict
  EXPECT_NE(bad.Recheck(p, {rest}).find("not strictly"), std::string::npos);
  bad = w;
  (*bad.letters[1])[3] = 1;  // M_a's 0 no longer above: not even weak
  EXPECT_NE(bad.Recheck(p, {rest}).find("not weakly"), std::string::npos);
  bad = w;
  (*bad.letters[1])[0] = kInf;  // a -∞ corner would let (M_w)_{1,1} be -∞
  EXPECT_NE(bad.Recheck(p, {rest}).find("(1,1)"), std::string::npos);
  bad = w;
  (*bad.letters[1])[0] = -1;  // a negative corner: (M_w)_{1,1} unbounded below on b b b ...
  EXPECT_NE(bad.Recheck(p, {rest}).find("(1,1)"), std::string::npos);
  // A negative entry off the corner keeps every condition: M_a = | 1 -∞ ; -∞ -1 | is still
  // above M_b, and the measure stays a natural number.
  ArcticRemovalWitness low = w;
  (*low.letters[0])[3] = -1;
  EXPECT_EQ(low.Recheck(p, {rest}), "");
  EXPECT_TRUE(low.BelowZero());
  EXPECT_FALSE(w.BelowZero());
  bad = w;
  bad.letters[0]->pop_back();
  EXPECT_NE(bad.Recheck(p, {rest}), "");
  bad = w;
  bad.removedWeak = {0};  // b ->= b b is not strict
  EXPECT_NE(bad.Recheck(p, {WithoutRules(p, {0}, {0})}), "");
  EXPECT_NE(w.Recheck(p, {p}), "");  // the subproblem must lose exactly the removed rule
  Problem dp = p;
  dp.kind = ProblemKind::DependencyPairs;
  EXPECT_NE(w.Recheck(dp, {WithoutRules(dp, {0}, {})}), "");
}

// (M_w)_{1,1} by direct max-plus products, -∞ as nullopt.
ArcticValue Corner(const ArcticRemovalWitness& w, const Word& word) {
  const int d = w.dimension;
  std::vector<ArcticValue> acc(d * d, kInf);
  for (int i = 0; i < d; ++i) acc[i * d + i] = 0;
  for (Symbol a : word) {
    const std::vector<ArcticValue>& m = *w.letters[a];
    std::vector<ArcticValue> next(d * d, kInf);
    for (int i = 0; i < d; ++i)
      for (int j = 0; j < d; ++j)
        for (int k = 0; k < d; ++k)
          if (acc[i * d + k] && m[k * d + j])
            next[i * d + j] =
                std::max(next[i * d + j].value_or(INT64_MIN), *acc[i * d + k] + *m[k * d + j]);
    acc = std::move(next);
  }
  return acc[0];
}

// The left context closure of a c -> c, ε ->= a b, a b ->= ε: the weak rules must hold
// both ways, which no arctic natural matrix does beside a strict a c -> c.
Problem CancellingClosure() {
  return Plain({"aac->ac", "cac->cc", "bac->bc", "a->=aab", "c->=cab", "b->=bab", "aab->=a",
                "cab->=c", "bab->=b"});
}

// Arctic integers remove the strict rules of CancellingClosure: a raises a counting entry
// and b lowers it. Checked against the measure itself: on every word up to length 6,
// (M_w)_{1,1} is a natural number that a step by a removed rule lowers and a step by any
// other rule does not raise.
TEST(ArcticRuleRemoval, BelowZeroHoldsWeakRulesBothWays) {
  const Problem closed = CancellingClosure();
  for (int d = 1; d <= 2; ++d)
    EXPECT_EQ(Remove(closed, Options(d, 2)).kind, Result::Kind::Nothing) << "dimension " << d;
  ArcticRemovalOptions o = Options(2, 1);
  o.belowZero = 1;
  const Result r = Remove(closed, o);
  ASSERT_EQ(r.kind, Result::Kind::Transformed) << r.note;
  EXPECT_EQ(RecheckResult(closed, r), "");
  const ArcticRemovalWitness& w = WitnessOf(r);
  EXPECT_TRUE(w.BelowZero());
  std::vector<bool> removed(closed.strict.size(), false);
  for (int i : w.removedStrict) removed[i] = true;
  EXPECT_EQ(w.removedStrict.size(), 3u);

  std::vector<Word> words{{}};
  for (std::size_t k = 0; k < words.size(); ++k)
    if (words[k].size() < 6)
      for (Symbol a = 0; a < closed.alphabet.size(); ++a) {
        Word longer = words[k];
        longer.push_back(a);
        words.push_back(longer);
      }
  for (const Word& u : words) {
    const ArcticValue before = Corner(w, u);
    ASSERT_TRUE(before && *before >= 0);
    for (const auto* rules : {&closed.strict, &closed.weak})
      for (std::size_t i = 0; i < rules->size(); ++i) {
        const Rule& rule = (*rules)[i];
        for (auto at = std::search(u.begin(), u.end(), rule.lhs.begin(), rule.lhs.end());
             at != u.end(); at = std::search(at + 1, u.end(), rule.lhs.begin(), rule.lhs.end())) {
          Word v(u.begin(), at);
          v.insert(v.end(), rule.rhs.begin(), rule.rhs.end());
          v.insert(v.end(), at + rule.lhs.size(), u.end());
          const ArcticValue after = Corner(w, v);
          ASSERT_TRUE(after);
          if (rules == &closed.strict && removed[i])
            EXPECT_LT(*after, *before);
          else
            EXPECT_LE(*after, *before);
        }
      }
  }
}

// The strategy tries arctic removal on a problem only, never on its reversal: the
// transposed matrices remove the same rules of the reversal. Checked on found witnesses,
// naturals and integers, by the re-check of the reversed step.
TEST(ArcticRemovalWitness, TransposedMatricesRemoveTheSameRulesOfTheReversal) {
  ArcticRemovalOptions integers = Options(2, 1);
  integers.belowZero = 1;
  const std::vector<std::pair<Problem, ArcticRemovalOptions>> cases = {
      {Plain({"aab->bba", "b->=bb"}), Options(2)},
      {Plain({"aa->aba"}), Options(2)},
      {CancellingClosure(), integers}};
  for (const auto& [p, o] : cases) {
    const Result r = Remove(p, o);
    ASSERT_EQ(r.kind, Result::Kind::Transformed) << RuleText(p.alphabet, p.strict[0]);
    ArcticRemovalWitness t = WitnessOf(r);
    const int d = t.dimension;
    for (auto& m : t.letters)
      if (m) {
        std::vector<ArcticValue> transposed(m->size());
        for (int i = 0; i < d; ++i)
          for (int j = 0; j < d; ++j) transposed[j * d + i] = (*m)[i * d + j];
        m = transposed;
      }
    EXPECT_EQ(t.Recheck(ReversedProblem(p), {ReversedProblem(r.subproblems[0])}), "")
        << RuleText(p.alphabet, p.strict[0]);
  }
}

TEST(ArcticRemovalWitness, PrintsAlignedMatricesAndTheRemovedRules) {
  const Problem p = Plain({"a->b", "b->=bb"});
  ArcticRemovalWitness w;
  w.dimension = 2;
  w.letters = {std::vector<ArcticValue>{12, kInf, kInf, 0},
               std::vector<ArcticValue>{0, kInf, kInf, kInf}};
  w.removedStrict = {0};
  std::vector<std::string> lines;
  w.Print(p, lines);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1], "  [a] = | 12 -∞ |");
  EXPECT_EQ(lines[2], "        | -∞  0 |");
  EXPECT_EQ(lines[3], "  [b] = |  0 -∞ |");
  EXPECT_EQ(lines[5], "removes a -> b");
  EXPECT_NE(lines[0].find("N ∪ {-∞}"), std::string::npos);
  (*w.letters[0])[3] = -1;
  lines.clear();
  w.Print(p, lines);
  EXPECT_NE(lines[0].find("Z ∪ {-∞} (max, +), every (1,1) entry ≥ 0"), std::string::npos);
  EXPECT_EQ(lines[2], "        | -∞ -1 |");
}

TEST(ArcticRuleRemoval, LeavesOtherProblemsAndLargeEncodingsAlone) {
  Problem dp = Plain({"a->b"});
  dp.kind = ProblemKind::DependencyPairs;
  EXPECT_EQ(Remove(dp, Options(2)).kind, Result::Kind::Nothing);
  EXPECT_EQ(Remove(Plain({"a->=b"}), Options(2)).kind, Result::Kind::Nothing);  // no strict rule
  ArcticRemovalOptions tiny = Options(3);
  tiny.maxClauses = 100;
  const Result r = Remove(Plain({"aab->bba", "b->=bb"}), tiny);
  EXPECT_EQ(r.kind, Result::Kind::Nothing);
  EXPECT_NE(r.note.find("skipped"), std::string::npos);
}

}  // namespace
}  // namespace velkin::strong
