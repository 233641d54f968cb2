// Weights by linear programming: weights beyond a few bits found at once, every rule that
// some weights make strict removed, nothing on problems that weights cannot touch, a
// reduction pair on dependency pairs, and the re-check against corrupted weights.
#include "strong/techniques/lp_weights.h"

#include <gtest/gtest.h>

#include "../strong_test_util.h"
#include "strong/techniques/dependency_pairs.h"

namespace velkin::strong {
namespace {

using test::Plain;

const LpWeightsWitness& WitnessOf(const Result& r) {
  return dynamic_cast<const LpWeightsWitness&>(*r.witness);
}

TEST(LpWeights, FindsLargeWeightsAndRemovesEveryRuleThatWeightsCan) {
  // w(a) > 5 w(b), w(b) > 3 w(c), w(c) > w(d): w(d) = 0, w(c) = 1, w(b) = 4, w(a) = 21
  // at least, beyond what a few bits per letter hold. a b -> b a is weak for all weights.
  const Problem p = Plain({"a->bbbbb", "b->ccc", "c->d", "ab->ba"});
  const Result r = LpWeights(p, Budget());
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  EXPECT_EQ(RecheckResult(p, r), "");
  EXPECT_EQ(WitnessOf(r).removedStrict, (std::vector<int>{0, 1, 2}));
  ASSERT_EQ(r.subproblems[0].strict.size(), 1u);
  EXPECT_EQ(r.subproblems[0].strict[0], p.strict[3]);
  const auto& w = WitnessOf(r);
  EXPECT_GE(w.letters[0]->c[0], 21);

  // Relative: the weak rule that decreases goes too; the one that grows stays weak.
  const Problem rel = Plain({"aa->b", "b->=c", "c->=cc"});
  const Result r2 = LpWeights(rel, Budget());
  ASSERT_EQ(RecheckResult(rel, r2), "");
  EXPECT_EQ(WitnessOf(r2).removedStrict, std::vector<int>{0});
  EXPECT_EQ(WitnessOf(r2).removedWeak, std::vector<int>{0});
  EXPECT_EQ(r2.subproblems[0].weak, std::vector<Rule>{rel.weak[1]});

  std::vector<std::string> lines;
  w.Print(p, lines);
  EXPECT_EQ(lines.back(), "removes c -> d");
}

TEST(LpWeights, FindsNothingWhereNoWeightsDecrease) {
  for (const Problem& p :
       {Plain({"ab->ba"}), Plain({"a->aa"}), Plain({"a->b", "b->=a"}), Plain({"->a", "a->=e"})})
    EXPECT_EQ(LpWeights(p, Budget()).kind, Result::Kind::Nothing)
        << RuleText(p.alphabet, p.strict[0]);
  // Too large a program: skipped with a note.
  LpWeightsOptions tiny;
  tiny.maxRows = 1;
  const Result skipped = LpWeights(Plain({"a->b", "b->c"}), Budget(), tiny);
  EXPECT_EQ(skipped.kind, Result::Kind::Nothing);
  EXPECT_NE(skipped.note.find("skipped"), std::string::npos);
}

TEST(LpWeights, OnDependencyPairsRemovesPairsOnly) {
  // a a -> a b: the pair a# a -> a# b decreases with w(a) > w(b); the rule stays.
  const Problem p = Plain({"aa->ab"});
  const Result dp = DependencyPairs(p);
  ASSERT_EQ(dp.kind, Result::Kind::Transformed);
  const Problem& pairs = dp.subproblems[0];
  const Result r = LpWeights(pairs, Budget());
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  EXPECT_EQ(RecheckResult(pairs, r), "");
  EXPECT_TRUE(WitnessOf(r).removedWeak.empty());
  EXPECT_TRUE(r.subproblems[0].strict.empty());
  EXPECT_EQ(r.subproblems[0].weak, pairs.weak);
}

TEST(LpWeightsWitness, RecheckRejectsWeightsThatDoNotDecreaseARemovedRule) {
  const Problem p = Plain({"a->bbbbb", "b->c"});
  const Result r = LpWeights(p, Budget());
  ASSERT_EQ(RecheckResult(p, r), "");
  const auto& good = WitnessOf(r);

  LpWeightsWitness low = good;
  low.letters[0]->c[0] = 5 * low.letters[1]->c[0];  // a -> b b b b b only weak now
  EXPECT_NE(low.Recheck(p, r.subproblems), "");
  LpWeightsWitness grows = good;
  grows.letters[2]->c[0] = grows.letters[1]->c[0] + 1;  // b -> c increases
  EXPECT_NE(grows.Recheck(p, r.subproblems), "");
  LpWeightsWitness scaled = good;
  scaled.letters[1]->m[0] = 2;  // not a weight any more, though still a matrix proof
  EXPECT_NE(scaled.Recheck(p, r.subproblems), "");
  LpWeightsWitness missing = good;
  missing.letters[2].reset();
  EXPECT_NE(missing.Recheck(p, r.subproblems), "");
  // The subproblem keeps a removed rule.
  EXPECT_NE(good.Recheck(p, {p}), "");
}

}  // namespace
}  // namespace velkin::strong
