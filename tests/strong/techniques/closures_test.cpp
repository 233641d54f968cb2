// Loop search by closures: each overlap on its own, relative problems, the reversed
// search, and that every loop found replays.
#include "strong/techniques/closures.h"

#include <gtest/gtest.h>

#include "../strong_test_util.h"

namespace velkin::strong {
namespace {

using test::LoopOf;
using test::Plain;

Result Search(const Problem& p, unsigned overlaps, bool reversed = false,
              std::size_t maxPairLength = 4096) {
  ClosureOptions o;
  o.overlaps = overlaps;
  o.reversed = reversed;
  o.maxPairLength = maxPairLength;
  return FindLoopByClosures(p, Budget().Within(std::chrono::seconds(5)), o);
}

// Each system loops, and its loop is reached with one kind of overlap alone.
TEST(Closures, EachOverlapAloneFindsItsLoopAndTheLoopReplays) {
  struct Case {
    const char* what;
    std::vector<std::string> rules;
    unsigned overlap;
  };
  const std::vector<Case> cases{
      // (a, b), then b -> a inside: (a, a).
      {"inside", {"a->b", "b->a"}, kInside},
      // (a, b c) with c d -> a d at its end: (a d, b a d).
      {"right", {"a->bc", "cd->ad"}, kRight},
      // (a, c b) with d c -> d a at its start: (d a, d a b).
      {"left", {"a->cb", "dc->da"}, kLeft},
      // (a, b) inside c b d -> c a d a: (c a d, c a d a).
      {"containing", {"a->b", "cbd->cada"}, kContaining},
  };
  for (const Case& c : cases) {
    const Problem p = Plain(c.rules);
    const Result r = Search(p, c.overlap);
    ASSERT_EQ(r.kind, Result::Kind::Disproved) << c.what << ": " << r.note;
    EXPECT_EQ(RecheckResult(p, r), "") << c.what;
    EXPECT_EQ(LoopOf(r).steps.size(), 2u) << c.what;
  }
  // Without its overlap, the right-overlap system's search at these lengths finds nothing
  // by left overlaps alone.
  EXPECT_EQ(Search(Plain({"a->bc", "cd->ad"}), kLeft, false, 12).kind, Result::Kind::Nothing);
}

TEST(Closures, FindsLoopsThatNeedSeveralOverlapsAndALongerStartWord) {
  // The shortest loops start from a b b a b b and a a a a b a a b (found by brute force).
  for (const auto& rules :
       std::vector<std::vector<std::string>>{{"abb->bbbaa"}, {"aab->bcbaaa", "ac->e"}}) {
    const Problem p = Plain(rules);
    const Result r = Search(p, kAllOverlaps);
    ASSERT_EQ(r.kind, Result::Kind::Disproved) << rules[0] << ": " << r.note;
    EXPECT_EQ(RecheckResult(p, r), "") << rules[0];
    EXPECT_GE(LoopOf(r).start.size(), 6u) << rules[0];
  }
}

TEST(Closures, RulesWithOneLetterOnTheLeftFinishALoopInsideTheEndWord) {
  // a b -> b a c b leaves a c b, and c -> ε makes it a b; a b -> b c d b leaves c d b,
  // which c -> a and d -> ε make a b.
  for (const auto& rules :
       std::vector<std::vector<std::string>>{{"ab->bacb", "c->e"}, {"ab->bcdb", "c->a", "d->e"}}) {
    const Problem p = Plain(rules);
    const Result r = Search(p, kInside | kRight);
    ASSERT_EQ(r.kind, Result::Kind::Disproved) << rules[0] << ": " << r.note;
    EXPECT_EQ(RecheckResult(p, r), "") << rules[0];
    EXPECT_EQ(LoopOf(r).steps.size(), rules.size()) << rules[0];
  }
}

TEST(Closures, IndependentInsideStepsAreTakenInOneOrderAndStillMeet) {
  // c -> a b, then a -> d and b -> g in either order, then d g -> c: the search keeps
  // only the order left to right, and still finds the loop; so with a deletion on the
  // left and a rewrite on the right, and after a right overlap.
  for (const auto& rules :
       std::vector<std::vector<std::string>>{{"c->ab", "a->d", "b->g", "dg->c"},
                                             {"c->fab", "f->e", "b->d", "ad->c"},
                                             {"c->xa", "ab->dd", "xdd->cb"}}) {
    const Problem p = Plain(rules);
    const Result r = Search(p, kInside | kRight);
    ASSERT_EQ(r.kind, Result::Kind::Disproved) << rules[0] << ": " << r.note;
    EXPECT_EQ(RecheckResult(p, r), "") << rules[0];
  }
}

TEST(Closures, TerminatingSystemsGiveNothing) {
  for (const auto& rules :
       std::vector<std::vector<std::string>>{{"ab->ba"}, {"aa->aba"}, {"ab->ba", "ba->b"}}) {
    const Result r = Search(Plain(rules), kAllOverlaps, false, 14);
    EXPECT_EQ(r.kind, Result::Kind::Nothing) << rules[0];
  }
}

TEST(Closures, RelativeLoopsNeedAStrictStep) {
  // Every cycle here uses weak rules only: c ->= c c and the strict a -> c leave no
  // strict step to repeat.
  for (const auto& rules :
       std::vector<std::vector<std::string>>{{"a->c", "c->=cc"}, {"ab->b", "b->=bb"}}) {
    const Result r = Search(Plain(rules), kAllOverlaps, false, 14);
    EXPECT_EQ(r.kind, Result::Kind::Nothing) << rules[0];
    EXPECT_NE(r.note, "");
  }
  // With a weak rule that brings back the strict rule's left side there is a loop,
  // and its strict step is marked as such.
  const Problem p = Plain({"a->b", "b->=a"});
  const Result r = Search(p, kAllOverlaps);
  ASSERT_EQ(r.kind, Result::Kind::Disproved);
  EXPECT_EQ(RecheckResult(p, r), "");
  bool strict = false, weak = false;
  for (const LoopStep& s : LoopOf(r).steps) (s.strict ? strict : weak) = true;
  EXPECT_TRUE(strict && weak);
}

TEST(Closures, TheReversedSearchFindsWhatForwardClosuresMissAndTranslatesItBack) {
  // a a a a b -> a b b a a a a: forward closures (inside and right overlaps) grow the
  // start word to the right only and find no loop within 16 MB of pairs; on the
  // reversed rules the loop is small, and it replays on the original rules.
  const Problem p = Plain({"aaaab->abbaaaa"});
  ClosureOptions o;
  o.overlaps = kInside | kRight;
  o.memoryBytes = std::size_t{16} << 20;
  EXPECT_EQ(FindLoopByClosures(p, Budget().Within(std::chrono::seconds(20)), o).kind,
            Result::Kind::Nothing);
  o.memoryBytes = ClosureOptions{}.memoryBytes;
  o.reversed = true;
  o.maxPairLength = 80;
  const Result r = FindLoopByClosures(p, Budget().Within(std::chrono::seconds(5)), o);
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  EXPECT_NE(LoopOf(r).foundBy.find("reversed"), std::string::npos);
}

TEST(Closures, StopsAtTheBudgetAndTheMemoryLimit) {
  // b a -> a b b terminates, but its closures grow without end: the search must return
  // when told to.
  const Problem p = Plain({"ba->abb"});
  ClosureOptions o;
  const auto t0 = Clock::now();
  const Result r = FindLoopByClosures(p, Budget().Within(std::chrono::milliseconds(200)), o);
  EXPECT_EQ(r.kind, Result::Kind::Nothing);
  EXPECT_LT(Clock::now() - t0, std::chrono::seconds(2));
  o.memoryBytes = 1 << 16;
  const Result small = FindLoopByClosures(p, Budget().Within(std::chrono::seconds(10)), o);
  EXPECT_EQ(small.kind, Result::Kind::Nothing);
  EXPECT_NE(small.note.find("memory"), std::string::npos) << small.note;
}

TEST(Closures, ALoopBehindHundredsOfThousandsOfPairsReplays) {
  // Sorting four letters makes many pairs of every size, and the loop
  // y x^8 -> x^8 z -> z y x^8 y comes only after them: the pairs and their words then
  // fill several of the search's blocks, and the loop's derivation reads back across them.
  const std::string x(8, 'x');
  const Problem p = Plain({"ab->ba", "ac->ca", "bc->cb", "ad->da", "bd->db", "cd->dc",
                           "y" + x + "->" + x + "z", x + "z->zy" + x + "y"});
  ClosureOptions o;
  const Result r = FindLoopByClosures(p, Budget().Within(std::chrono::seconds(20)), o);
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  EXPECT_EQ(LoopOf(r).start.size(), 9u);  // y x^8
  // With fewer pairs allowed than that, the memory limit ends the same search first.
  o.memoryBytes = 1 << 20;
  const Result cut = FindLoopByClosures(p, Budget().Within(std::chrono::seconds(20)), o);
  EXPECT_EQ(cut.kind, Result::Kind::Nothing);
  EXPECT_NE(cut.note.find("memory"), std::string::npos) << cut.note;
}

TEST(Closures, DependencyPairProblemsAreLeftAlone) {
  Problem p = Plain({"a->a"});
  p.kind = ProblemKind::DependencyPairs;
  EXPECT_EQ(Search(p, kAllOverlaps).kind, Result::Kind::Nothing);
}

}  // namespace
}  // namespace velkin::strong
