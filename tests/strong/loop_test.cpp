// The loop witness: its re-check replays every step, and its printed form.
#include "strong/loop.h"

#include <gtest/gtest.h>

#include <functional>

#include "strong_test_util.h"

namespace velkin::strong {
namespace {

using test::Plain;

// R = {a b -> b a a}, S = {a ->= b}: a b -> b a a ->= b b a... the loop below is
// a b ->R b a a ->S b a b, so u = a b, p = b, q = ε.
struct Fixture {
  Problem problem = Plain({"ab->baa", "a->=b"});
  LoopWitness loop;
  Fixture() {
    const Word ab{0, 1};
    auto w = MakeLoopWitness(problem, ab, {0, 1}, {0, 2}, "hand");
    EXPECT_TRUE(w);
    if (w) loop = *w;
  }
};

TEST(LoopWitness, ABuiltDerivationReplaysWithPAndQSplitOff) {
  Fixture f;
  EXPECT_EQ(f.loop.Recheck(f.problem, {}), "");
  ASSERT_EQ(f.loop.steps.size(), 2u);
  EXPECT_TRUE(f.loop.steps[0].strict);
  EXPECT_FALSE(f.loop.steps[1].strict);
  EXPECT_EQ(f.loop.prefix, (Word{1}));
  EXPECT_TRUE(f.loop.suffix.empty());
  // A step that does not apply, or a last word without u, gives no witness.
  EXPECT_FALSE(MakeLoopWitness(f.problem, Word{0, 1}, {0}, {1}, ""));
  EXPECT_FALSE(MakeLoopWitness(f.problem, Word{1, 0}, {1}, {1}, ""));
  EXPECT_FALSE(MakeLoopWitness(f.problem, Word{0}, {7}, {0}, ""));
}

TEST(LoopWitness, RecheckRejectsEveryKindOfCorruption) {
  const std::vector<std::pair<const char*, std::function<void(LoopWitness&)>>> corruptions{
      {"a resulting word changed", [](LoopWitness& w) { w.steps[0].result[0] = 0; }},
      {"a position moved", [](LoopWitness& w) { w.steps[1].position = 0; }},
      {"a position past the end", [](LoopWitness& w) { w.steps[1].position = 9; }},
      {"a rule not in the problem",
       [](LoopWitness& w) {
         w.steps[0].rule.rhs = {1, 0};
       }},
      {"a weak rule called strict", [](LoopWitness& w) { w.steps[1].strict = true; }},
      {"a strict rule called weak", [](LoopWitness& w) { w.steps[0].strict = false; }},
      {"p changed", [](LoopWitness& w) { w.prefix = {0}; }},
      {"q added", [](LoopWitness& w) { w.suffix = {1}; }},
      {"u changed",
       [](LoopWitness& w) {
         w.start = {0, 0};
       }},
      {"no steps", [](LoopWitness& w) { w.steps.clear(); }},
      {"a step dropped", [](LoopWitness& w) { w.steps.pop_back(); }},
      {"a letter outside the alphabet", [](LoopWitness& w) { w.prefix = {5}; }},
  };
  for (const auto& [what, corrupt] : corruptions) {
    Fixture f;
    corrupt(f.loop);
    EXPECT_NE(f.loop.Recheck(f.problem, {}), "") << what;
  }
  Fixture f;
  EXPECT_NE(f.loop.Recheck(f.problem, {f.problem}), "") << "a loop with a subproblem";
  Problem dp = f.problem;
  dp.kind = ProblemKind::DependencyPairs;
  EXPECT_NE(f.loop.Recheck(dp, {}), "") << "a dependency pair problem";
}

TEST(LoopWitness, OnlyWeakStepsAreNoLoop) {
  // b ->= a ->= b cycles, but uses no strict rule.
  const Problem p = Plain({"c->c", "b->=a", "a->=b"});
  auto w = MakeLoopWitness(p, Word{1}, {1, 2}, {0, 0}, "");
  ASSERT_TRUE(w);
  EXPECT_NE(w->Recheck(p, {}), "");
}

TEST(LoopWitness, PrintsUPQAndEveryStep) {
  Fixture f;
  std::vector<std::string> lines;
  f.loop.Print(f.problem, lines);
  const std::vector<std::string> expected{
      "loop u ->+ p u q in 2 steps, found by hand:",
      "  u = a b",
      "  p = b",
      "  q = ε",
      "  1. at 0 by a b -> b a a: b a a",
      "  2. at 2 by a ->= b: b a b",
  };
  EXPECT_EQ(lines, expected);
}

TEST(TrivialLoop, AStrictRuleWithAnEmptyLeftSideLoopsFromTheEmptyWord) {
  const Problem p = Plain({"ab->ba", "->ba"});
  const Result r = TrivialLoop(p);
  ASSERT_EQ(r.kind, Result::Kind::Disproved);
  EXPECT_EQ(RecheckResult(p, r), "");
  const auto& w = static_cast<const LoopWitness&>(*r.witness);
  EXPECT_TRUE(w.start.empty());
  ASSERT_EQ(w.steps.size(), 1u);
  EXPECT_EQ(w.steps[0].result, (Word{1, 0}));
  // A weak rule with an empty left side alone is no loop.
  EXPECT_EQ(TrivialLoop(Plain({"ab->ba", "->=ba"})).kind, Result::Kind::Nothing);
}

}  // namespace
}  // namespace velkin::strong
