// Arctic rule removal: found steps re-check, a hand-checked witness and its corruptions,
// no step on non-terminating problems, the printed form, and what it refuses to touch.
#include "strong/techniques/arctic_removal.h"

#include <gtest/gtest.h>

#include <chrono>

#include "../strong_test_util.h"

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
  const Problem grow = Plain({"aa->aba"});
  EXPECT_EQ(Remove(grow, Options(1, 4)).kind, Result::Kind::Nothing);
  const Result r = Remove(grow, Options(2));
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  EXPECT_EQ(RecheckResult(grow, r), "");
  EXPECT_TRUE(r.subproblems[0].strict.empty());

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
  };
  for (const Problem& p : looping)
    for (int d = 1; d <= 3; ++d)
      EXPECT_EQ(Remove(p, Options(d, 3)).kind, Result::Kind::Nothing)
          << RuleText(p.alphabet, p.strict[0]) << ", dimension " << d;
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
  (*bad.letters[0])[3] = -1;
  EXPECT_NE(bad.Recheck(p, {rest}).find("negative"), std::string::npos);
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
