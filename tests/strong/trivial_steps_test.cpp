// The trivial steps: the leaf without strict rules, reversal and relative as
// standard, each with its re-check accepting the real step and rejecting changed ones.
#include <gtest/gtest.h>

#include "strong/strategy.h"
#include "strong/techniques/relative_as_standard.h"
#include "strong/techniques/reversal.h"
#include "strong/techniques/trivial.h"
#include "strong_test_util.h"

namespace velkin::strong {
namespace {

using test::Plain;

TEST(TrivialSteps, NoStrictRulesProvesOnlyProblemsWithoutStrictRules) {
  const Budget b;
  const Problem weakOnly = Plain({"c->=cc", "ab->=ba"});
  const Result r = ProveWithoutStrictRules(weakOnly, b);
  ASSERT_EQ(r.kind, Result::Kind::Proved);
  EXPECT_EQ(RecheckResult(weakOnly, r), "");

  const Problem withRule = Plain({"c->=cc", "a->c"});
  EXPECT_EQ(ProveWithoutStrictRules(withRule, b).kind, Result::Kind::Nothing);
  // The same witness for a problem that still has a strict rule, or with a
  // subproblem attached, is refused.
  EXPECT_NE(RecheckResult(withRule, r), "");
  EXPECT_NE(r.witness->Recheck(weakOnly, {withRule}), "");

  Problem pairs;
  pairs.kind = ProblemKind::DependencyPairs;
  pairs.alphabet.Add("a");
  pairs.weak.push_back(Rule{{0}, {0, 0}});
  EXPECT_EQ(ProveWithoutStrictRules(pairs, b).kind, Result::Kind::Proved);
}

TEST(TrivialSteps, ReversalLeavesExactlyTheReversedProblem) {
  const Budget b;
  const Problem p = Plain({"abc->ca", "b->=ab"});
  const Result r = Reverse(p, b);
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  ASSERT_EQ(r.subproblems.size(), 1u);
  EXPECT_EQ(RuleText(r.subproblems[0].alphabet, r.subproblems[0].strict[0]), "c b a -> a c");
  EXPECT_EQ(RuleText(r.subproblems[0].alphabet, r.subproblems[0].weak[0], true), "b ->= b a");
  EXPECT_EQ(RecheckResult(p, r), "");

  // One letter changed, a weak rule made strict, the problem left unreversed, a
  // second subproblem: each is refused.
  Result bad = r;
  bad.subproblems[0].strict[0].rhs[0] = 1;
  EXPECT_NE(RecheckResult(p, bad), "");
  bad = r;
  bad.subproblems[0].strict.push_back(bad.subproblems[0].weak.back());
  bad.subproblems[0].weak.pop_back();
  EXPECT_NE(RecheckResult(p, bad), "");
  EXPECT_NE(r.witness->Recheck(p, {p}), "");
  EXPECT_NE(r.witness->Recheck(p, {r.subproblems[0], r.subproblems[0]}), "");
  EXPECT_NE(r.witness->Recheck(p, {}), "");
  // A certificate needs the one subproof, neither none nor two.
  const cpf::Fragment leaf = std::get<cpf::Fragment>(cpf::NoStrictRules());
  EXPECT_TRUE(cpf::Ok(r.witness->Certify(p, r.subproblems, {leaf})));
  EXPECT_FALSE(cpf::Ok(r.witness->Certify(p, r.subproblems, {})));
  EXPECT_FALSE(cpf::Ok(r.witness->Certify(p, r.subproblems, {leaf, leaf})));

  // Not for dependency pair problems: pairs apply at the start of a word only.
  Problem pairs = p;
  pairs.kind = ProblemKind::DependencyPairs;
  EXPECT_EQ(Reverse(pairs, b).kind, Result::Kind::Nothing);
  EXPECT_NE(r.witness->Recheck(pairs, {ReversedProblem(pairs)}), "");
}

TEST(TrivialSteps, RelativeAsStandardMakesEveryWeakRuleStrict) {
  const Budget b;
  const Problem p = Plain({"a->c", "c->=cc"});
  const Result r = RelativeAsStandard(p, b);
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  const Problem& q = r.subproblems.at(0);
  EXPECT_TRUE(q.IsStandard());
  ASSERT_EQ(q.strict.size(), 2u);
  EXPECT_EQ(RuleText(q.alphabet, q.strict[1]), "c -> c c");
  EXPECT_EQ(RecheckResult(p, r), "");

  // A weak rule dropped or kept weak is refused: either would claim too much.
  Result bad = r;
  bad.subproblems[0].strict.pop_back();
  EXPECT_NE(RecheckResult(p, bad), "");
  bad = r;
  bad.subproblems[0].weak.push_back(bad.subproblems[0].strict.back());
  bad.subproblems[0].strict.pop_back();
  EXPECT_NE(RecheckResult(p, bad), "");
  // Nothing to do for a standard problem.
  EXPECT_EQ(RelativeAsStandard(q, b).kind, Result::Kind::Nothing);
}

TEST(TrivialSteps, OnlyReversalAndRuleSubsetsKeepLoops) {
  const Problem p = Plain({"a->c", "c->=cc"});
  const Result rev = Reverse(p, Budget());
  EXPECT_TRUE(KeepsLoops(p, *rev.witness, rev.subproblems[0]));
  // A loop of R ∪ S may use weak rules only: not a loop of R/S.
  const Result std = RelativeAsStandard(p, Budget());
  EXPECT_FALSE(KeepsLoops(p, *std.witness, std.subproblems[0]));
  // Fewer rules, strict ones still strict: a loop carries over; a weak rule turned
  // strict does not.
  Problem fewer = p;
  fewer.weak.clear();
  EXPECT_TRUE(KeepsLoops(p, *std.witness, fewer));
  Problem promoted = p;
  promoted.strict = {p.weak[0]};
  promoted.weak.clear();
  EXPECT_FALSE(KeepsLoops(p, *std.witness, promoted));
}

}  // namespace
}  // namespace velkin::strong
