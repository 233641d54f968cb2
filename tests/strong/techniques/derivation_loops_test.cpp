// Loop search by deterministic derivations: long loops of growing one-rule systems, the
// reversed search, relative problems, and the replay of what it finds.
#include "strong/techniques/derivation_loops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "../strong_test_util.h"
#include "strong/techniques/closures.h"

namespace velkin::strong {
namespace {

using test::LoopOf;
using test::Plain;

Result Search(const Problem& p, bool reversed = false, std::size_t maxWordLength = 1 << 15) {
  DerivationLoopOptions o;
  o.reversed = reversed;
  o.maxWordLength = maxWordLength;
  return FindLoopByDerivation(p, Budget().Within(std::chrono::seconds(20)), o);
}

// b a b a^6 -> a^7 b a b b a b loops only after some 60 steps on words of about 160
// letters; the closure search holds millions of pairs before it gets there.
TEST(DerivationLoops, FindsTheLongLoopOfAGrowingRuleThatClosuresRunOutOfMemoryBefore) {
  const Problem p = Plain({"babaaaaaa->aaaaaaababbab"});
  ClosureOptions small;
  small.memoryBytes = std::size_t{8} << 20;
  EXPECT_EQ(FindLoopByClosures(p, Budget().Within(std::chrono::seconds(20)), small).kind,
            Result::Kind::Nothing);

  const Result r = Search(p);
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  const LoopWitness& loop = LoopOf(r);
  EXPECT_GE(loop.steps.size(), 30u);
  // The letters of u that no step reads are cut off at both ends.
  std::size_t left = loop.start.size(), right = loop.start.size();
  std::size_t length = loop.start.size();
  for (const LoopStep& s : loop.steps) {
    left = std::min(left, s.position);
    right = std::min(right, length - s.position - s.rule.lhs.size());
    length = s.result.size();
  }
  EXPECT_EQ(left, 0u);
  EXPECT_EQ(right, 0u);
}

TEST(DerivationLoops, TheReplayRejectsTheFoundDerivationCorrupted) {
  const Problem p = Plain({"babaaaaaa->aaaaaaababbab"});
  const Result r = Search(p);
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  const std::vector<std::pair<const char*, std::function<void(LoopWitness&)>>> corruptions{
      {"a middle step moved by one",
       [](LoopWitness& w) { ++w.steps[w.steps.size() / 2].position; }},
      {"two steps swapped",
       [](LoopWitness& w) { std::swap(w.steps[1].position, w.steps[2].position); }},
      {"the last step dropped", [](LoopWitness& w) { w.steps.pop_back(); }},
      {"u one letter shorter", [](LoopWitness& w) { w.start.pop_back(); }},
      {"a letter of a middle word changed",
       [](LoopWitness& w) {
         Word& m = w.steps[w.steps.size() / 2].result;
         m.back() = m.back() == 0 ? 1 : 0;
       }},
  };
  for (const auto& [what, corrupt] : corruptions) {
    LoopWitness w = LoopOf(r);
    corrupt(w);
    EXPECT_NE(w.Recheck(p, {}), "") << what;
  }
}

TEST(DerivationLoops, TheReversedSearchFindsWhatForwardDerivationsMissAndTranslatesItBack) {
  // Forward derivations of this rule grow without a loop; on the reversed rule one
  // loops within 50 steps, and the loop read backwards replays on the rule itself.
  const Problem p = Plain({"bababababaa->aababababababa"});
  const Result forward = Search(p, false, 4096);
  EXPECT_EQ(forward.kind, Result::Kind::Nothing);
  EXPECT_NE(forward.note, "");
  const Result r = Search(p, true);
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  EXPECT_NE(LoopOf(r).foundBy.find("reversed"), std::string::npos);
}

TEST(DerivationLoops, RelativeLoopsNeedAStrictStepAndTerminatingSystemsGiveNothing) {
  // c ->= c c grows forever and contains its own start, but with weak steps only; the
  // others terminate. Every derivation ends at the length limit or gets stuck.
  for (const auto& rules : std::vector<std::vector<std::string>>{
           {"a->c", "c->=cc"}, {"ab->b", "b->=bb"}, {"ab->ba"}, {"aa->aba"}, {"ab->bba"}}) {
    const Result r = Search(Plain(rules), false, 512);
    EXPECT_EQ(r.kind, Result::Kind::Nothing) << rules[0];
  }
  // A weak rule that brings back the strict rule's left side: a loop with both kinds.
  const Problem p = Plain({"a->b", "b->=a"});
  const Result r = Search(p);
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  bool strict = false, weak = false;
  for (const LoopStep& s : LoopOf(r).steps) (s.strict ? strict : weak) = true;
  EXPECT_TRUE(strict && weak);
}

TEST(DerivationLoops, StopsAtTheMemoryLimitAndTheBudget) {
  const Problem p = Plain({"ab->bba"});
  DerivationLoopOptions o;
  o.memoryBytes = 1 << 16;
  Result r = FindLoopByDerivation(p, Budget().Within(std::chrono::seconds(20)), o);
  EXPECT_EQ(r.kind, Result::Kind::Nothing);
  EXPECT_NE(r.note.find("memory"), std::string::npos) << r.note;
  r = FindLoopByDerivation(p, Budget().Within(std::chrono::seconds(0)), DerivationLoopOptions{});
  EXPECT_EQ(r.kind, Result::Kind::Nothing);
  EXPECT_NE(r.note.find("budget"), std::string::npos) << r.note;
}

}  // namespace
}  // namespace velkin::strong
