// Loop search by every derivation from short words: loops that need weak rules with an
// empty left side inserting on both sides of the start word, which the other searches
// miss; weak cycles; the bounds; the replay; and the strong strategy answering such a
// problem through its loop roads.
#include "strong/techniques/bounded_derivations.h"

#include <gtest/gtest.h>

#include <functional>

#include "../strong_test_util.h"
#include "strong/loop.h"
#include "strong/strategy.h"
#include "strong/techniques/closures.h"
#include "strong/techniques/derivation_loops.h"

namespace velkin::strong {
namespace {

using test::LoopOf;
using test::Plain;

Result Search(const Problem& p, std::size_t maxStartLength = 16,
              std::size_t memoryBytes = std::size_t{96} << 20) {
  BoundedDerivationOptions o;
  o.maxStartLength = maxStartLength;
  o.memoryBytes = memoryBytes;
  return FindLoopByBoundedDerivations(p, Budget().Within(std::chrono::seconds(20)), o);
}

// baab -> a with ε ->= bbabb, by hand: from u = abaa, insert bbabb in front and behind:
// bbabb abaa bbabb; baab -> a at 6 (across u's end and the second insertion) gives
// bbabbaababb, and at 4 (across the first insertion's end and u's start) bb abaa bb =
// p u q. Neither closures nor deterministic derivations reach it.
const std::vector<std::string> kInsertion{"baab->a", "->=bbabb"};

TEST(BoundedDerivations, FindsALoopThatInsertsOnBothSidesWhichTheOtherSearchesMiss) {
  const Problem p = Plain(kInsertion);
  test::ExpectClosuresAndDerivationsMiss(p);
  const Result r = Search(p);
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  const LoopWitness& loop = LoopOf(r);
  // b = 0, a = 1 in the order of first occurrence.
  EXPECT_EQ(loop.start, (Word{1, 0, 1, 1}));
  EXPECT_EQ(loop.prefix, (Word{0, 0}));
  EXPECT_EQ(loop.suffix, (Word{0, 0}));
  ASSERT_EQ(loop.steps.size(), 4u);
  EXPECT_FALSE(loop.steps[0].strict);
  EXPECT_TRUE(loop.steps[3].strict);
}

TEST(BoundedDerivations, FindsALoopFromTheEmptyWord) {
  // ε ->= ab twice gives abab, whose ba -> ε leaves ab: ε ->+ ab with a strict step.
  const Problem p = Plain({"ba->e", "->=ab"});
  const Result r = Search(p);
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  EXPECT_TRUE(LoopOf(r).start.empty());
}

TEST(BoundedDerivations, TheReplayRejectsTheFoundLoopCorrupted) {
  const Problem p = Plain(kInsertion);
  const Result r = Search(p);
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  const std::vector<std::pair<const char*, std::function<void(LoopWitness&)>>> corruptions{
      // An empty left side fits everywhere: only the word it gives is wrong.
      {"an insertion moved by one", [](LoopWitness& w) { ++w.steps[0].position; }},
      {"an insertion claimed strict", [](LoopWitness& w) { w.steps[0].strict = true; }},
      {"the strict steps claimed weak",
       [](LoopWitness& w) {
         for (LoopStep& s : w.steps) s.strict = false;
       }},
      {"the last step dropped", [](LoopWitness& w) { w.steps.pop_back(); }},
      {"u one letter longer", [](LoopWitness& w) { w.start.push_back(0); }},
      {"q one letter shorter", [](LoopWitness& w) { w.suffix.pop_back(); }},
  };
  for (const auto& [what, corrupt] : corruptions) {
    LoopWitness w = LoopOf(r);
    corrupt(w);
    EXPECT_NE(w.Recheck(p, {}), "") << what;
  }
}

TEST(BoundedDerivations, WeakCyclesAndTerminatingSystemsGiveNothing) {
  // Weak steps that undo each other (an insertion and its deletion, a swap and its
  // inverse) come back to the start without a strict step; the strict rules shorten.
  for (const auto& rules : std::vector<std::vector<std::string>>{
           {"b->e", "->=a", "a->=e"}, {"c->e", "ab->=ba", "ba->=ab"}, {"ab->ba"}, {"aa->a"}}) {
    const Result r = Search(Plain(rules), 5);
    EXPECT_EQ(r.kind, Result::Kind::Nothing) << rules[0];
    EXPECT_NE(r.note.find("5 letters or less"), std::string::npos) << r.note;
  }
}

TEST(BoundedDerivations, RespectsTheStartLengthTheMemoryAndTheBudget) {
  const Problem p = Plain(kInsertion);
  // Its loop needs a start word of four letters.
  Result r = Search(p, 3);
  EXPECT_EQ(r.kind, Result::Kind::Nothing);
  EXPECT_NE(r.note.find("3 letters or less"), std::string::npos) << r.note;
  // A few hundred bytes per start word do not hold the words the loop passes.
  r = Search(p, 16, 256);
  EXPECT_EQ(r.kind, Result::Kind::Nothing);
  r = FindLoopByBoundedDerivations(p, Budget().Within(std::chrono::seconds(0)),
                                   BoundedDerivationOptions{});
  EXPECT_EQ(r.kind, Result::Kind::Nothing);
  EXPECT_NE(r.note.find("budget"), std::string::npos) << r.note;
}

TEST(BoundedDerivations, TheStrongStrategyAnswersThroughItsLoopRoads) {
  StrongOptions o;
  o.timeoutSeconds = 20;
  o.jobs = 2;
  const Problem p = Plain(kInsertion);
  const StrongResult result = RunRoads(p, StrongRoads(), o);
  ASSERT_EQ(result.status, StrongStatus::LoopFound);
  EXPECT_EQ(result.road, "loops, reversed");
}

}  // namespace
}  // namespace velkin::strong
