// Context closure: the closed rules on each side, the re-check against a missing letter
// or a wrong rule, the size limit, and loops of the closed problem carried back as loops
// of the problem, checked against its own rules.
#include "strong/techniques/context_closure.h"

#include <gtest/gtest.h>

#include "../strong_test_util.h"
#include "strong/print.h"
#include "strong/strategy.h"
#include "strong/techniques/closures.h"
#include "strong/techniques/reversal.h"
#include "strong/techniques/weak_cleanup.h"

namespace velkin::strong {
namespace {

using test::Plain;

std::vector<std::string> Texts(const Problem& p) {
  std::vector<std::string> out;
  for (const Rule& r : p.strict) out.push_back(RuleText(p.alphabet, r));
  for (const Rule& r : p.weak) out.push_back(RuleText(p.alphabet, r, true));
  return out;
}

ContextClosureOptions Side(ClosureSide side) {
  ContextClosureOptions o;
  o.side = side;
  return o;
}

TEST(ContextClosure, ClosesEveryRuleOnEachSideOverTheLettersOfTheRules) {
  const Problem p = Plain({"ab->b", "->=a"});
  const Result left = ContextClosure(p, Budget(), Side(ClosureSide::Left));
  ASSERT_EQ(left.kind, Result::Kind::Transformed);
  EXPECT_EQ(RecheckResult(p, left), "");
  EXPECT_EQ(Texts(left.subproblems[0]),
            (std::vector<std::string>{"a a b -> a b", "b a b -> b b", "a ->= a a", "b ->= b a"}));
  const Result right = ContextClosure(p, Budget(), Side(ClosureSide::Right));
  EXPECT_EQ(RecheckResult(p, right), "");
  EXPECT_EQ(Texts(right.subproblems[0]),
            (std::vector<std::string>{"a b a -> b a", "a b b -> b b", "a ->= a a", "b ->= a b"}));
  const Result both = ContextClosure(p, Budget(), Side(ClosureSide::Both));
  EXPECT_EQ(RecheckResult(p, both), "");
  EXPECT_EQ(both.subproblems[0].strict.size(), 4u);
  EXPECT_EQ(RuleText(p.alphabet, both.subproblems[0].weak[1], true), "a b ->= a a b");
  EXPECT_TRUE(KeepsLoops(p, *left.witness, left.subproblems[0]));

  // By default only a problem with an empty left side is closed, so that a road closes
  // each problem once; on request any.
  EXPECT_EQ(ContextClosure(left.subproblems[0], Budget()).kind, Result::Kind::Nothing);
  ContextClosureOptions any;
  any.onlyEmptyLeftSides = false;
  EXPECT_EQ(ContextClosure(Plain({"ab->ba"}), Budget(), any).kind, Result::Kind::Transformed);
  // Too large: skipped with a note, never built.
  ContextClosureOptions small;
  small.maxRules = 3;
  const Result skipped = ContextClosure(p, Budget(), small);
  EXPECT_EQ(skipped.kind, Result::Kind::Nothing);
  EXPECT_NE(skipped.note.find("skipped"), std::string::npos);
}

TEST(ContextClosure, RecheckRejectsAMissingLetterAndRulesThatAreNotTheClosure) {
  const Problem p = Plain({"ab->b", "->=a"});
  const Result r = ContextClosure(p, Budget());
  ASSERT_EQ(RecheckResult(p, r), "");
  const auto& good = dynamic_cast<const ContextClosureWitness&>(*r.witness);

  // Without b as a context, a b -> b could rewrite after a b that no rule then sees.
  ContextClosureWitness missing = good;
  missing.letters = {0};
  Problem fewer = r.subproblems[0];
  fewer.strict = ClosedRules(p.strict, ClosureSide::Left, {0});
  fewer.weak = ClosedRules(p.weak, ClosureSide::Left, {0});
  EXPECT_NE(missing.Recheck(p, {fewer}), "");
  missing.letters = {};
  EXPECT_NE(missing.Recheck(p, {Problem{}}), "");
  missing.letters = {1, 0};  // not ascending
  EXPECT_NE(missing.Recheck(p, r.subproblems), "");

  // A closed rule dropped, a weak one made strict, the wrong side.
  Problem dropped = r.subproblems[0];
  dropped.strict.pop_back();
  EXPECT_NE(good.Recheck(p, {dropped}), "");
  Problem promoted = r.subproblems[0];
  promoted.strict.push_back(promoted.weak.back());
  promoted.weak.pop_back();
  EXPECT_NE(good.Recheck(p, {promoted}), "");
  ContextClosureWitness otherSide = good;
  otherSide.side = ClosureSide::Right;
  EXPECT_NE(otherSide.Recheck(p, r.subproblems), "");
}

// a -> b relative to ε ->= a loops (ε ->= a -> b); the closed problem's loops have no
// empty left side. The road closes, then looks for a loop: the proof printed must be a
// loop of the problem itself, each step by one of its rules.
TEST(ContextClosure, ALoopOfTheClosureIsPrintedAsALoopOfTheProblem) {
  const Problem p = Plain({"a->b", "->=a"});
  const RoadStep closure{"closure",
                         [](const Problem& q, const Budget& b) { return ContextClosure(q, b); }};
  const RoadStep loops{
      "closures", [](const Problem& q, const Budget& b) { return FindLoopByClosures(q, b, {}); }};
  StrongOptions o;
  o.timeoutSeconds = 20;
  o.jobs = 1;
  const StrongResult r = RunRoads(p, {Road{"closed loops", nullptr, {closure, loops}}}, o);
  ASSERT_EQ(r.status, StrongStatus::LoopFound);
  EXPECT_EQ(r.proof.kind, Result::Kind::Disproved);
  EXPECT_TRUE(r.proof.children.empty());
  EXPECT_EQ(r.proof.witness->Recheck(p, {}), "");
  const auto& loop = dynamic_cast<const LoopWitness&>(*r.proof.witness);
  for (const LoopStep& s : loop.steps)
    EXPECT_TRUE(s.rule == p.strict[0] || s.rule == p.weak[0]) << RuleText(p.alphabet, s.rule);
  EXPECT_NE(loop.foundBy.find("left context closure"), std::string::npos);
}

// The loop of a tree below a closure is read back through the steps between: a
// reversal and a clean-up here.
TEST(ContextClosure, LoopOfDisproofReadsBackThroughReversalsAndSubsets) {
  const Problem p = Plain({"a->b", "->=a", "b->=b"});
  const Result clean = DropTrivialWeakRules(p, Budget());
  ASSERT_EQ(clean.kind, Result::Kind::Transformed);
  const Problem& q = clean.subproblems[0];
  const Result closed = ContextClosure(q, Budget());
  const Problem& c = closed.subproblems[0];
  const Result rev = Reverse(c, Budget());
  const Problem& cr = rev.subproblems[0];
  // In the reversed closure (a a -> b a, a b -> b b, a ->= a a, a b ->= b): from a,
  // a ->= a a gives a a, then a a -> b a gives b a.
  const auto loop = MakeLoopWitness(cr, Word{0}, {2, 0}, {0, 0}, "by hand");
  ASSERT_TRUE(loop);
  ASSERT_EQ(loop->Recheck(cr, {}), "");

  ProofNode leaf{cr, Result::Kind::Disproved, loop, {}};
  ProofNode reversal{c, Result::Kind::Transformed, rev.witness, {leaf}};
  ProofNode closure{q, Result::Kind::Transformed, closed.witness, {reversal}};
  const auto inQ = LoopOfDisproof(closure);
  ASSERT_TRUE(inQ);
  EXPECT_EQ(inQ->Recheck(q, {}), "");
  ProofNode top{p, Result::Kind::Transformed, clean.witness, {closure}};
  const auto inP = LoopOfDisproof(top);
  ASSERT_TRUE(inP);
  EXPECT_EQ(inP->Recheck(p, {}), "");

  // A closed loop whose step is not in the closure's form does not translate into a
  // loop of the problem: the step's rule a -> b would be cut to ε -> ε.
  LoopWitness odd = *loop;
  odd.steps[1].rule = q.strict[0];
  const auto* cw = dynamic_cast<const ContextClosureWitness*>(closed.witness.get());
  const auto carried = LoopThroughClosure(*cw, odd);
  EXPECT_TRUE(!carried || carried->Recheck(q, {}) != "");
}

}  // namespace
}  // namespace velkin::strong
