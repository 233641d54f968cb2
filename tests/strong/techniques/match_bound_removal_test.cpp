// Match bounds as rule removal: proofs and removals known by hand, the strictness of each
// rule, the start words, and the re-check of corrupted witnesses.
#include <gtest/gtest.h>

#include <algorithm>

#include "../strong_test_util.h"
#include "strong/techniques/match_bounds.h"

namespace velkin::strong {
namespace {

using test::Plain;

Result Remove(const Problem& p, StartWords start = StartWords::AllWords, bool reversed = false,
              std::vector<int> caps = MatchBoundRemovalOptions{}.caps) {
  MatchBoundRemovalOptions o;
  o.caps = std::move(caps);
  o.start = start;
  o.reversed = reversed;
  o.maxTransitions = 50000;
  return FindMatchBoundRemoval(p, Budget().Within(std::chrono::seconds(20)), o);
}

const MatchBoundRemovalWitness& AutomatonOf(const Result& r) {
  return static_cast<const MatchBoundRemovalWitness&>(*r.witness);
}

// The witness `w` checked against `p` with the subproblem it implies.
std::string Check(const Problem& p, const MatchBoundRemovalWitness& w) {
  if (w.removed.size() == p.strict.size()) return w.Recheck(p, {});
  return w.Recheck(p, {WithoutRules(p, w.removed, {})});
}

TEST(MatchBoundRemoval, RemovesEveryRuleOfBoundedSystemsOnEveryWord) {
  // Every strict step consumes a letter that no rule writes (a, or c), or, for a a ->
  // a b a, the factor a a. The weak rules' letters may reach the cap.
  for (const auto& lines : std::vector<std::vector<std::string>>{
           {"aa->aba"}, {"ab->e", "b->=bb"}, {"ab->bc", "c->=cc"}, {"c->a", "ba->=aab"}}) {
    SCOPED_TRACE(lines[0] + " " + lines[1 % lines.size()]);
    const Problem p = Plain(lines);
    for (const bool reversed : {false, true}) {
      const Result r = Remove(p, StartWords::AllWords, reversed);
      ASSERT_EQ(r.kind, Result::Kind::Proved) << r.note;
      EXPECT_EQ(RecheckResult(p, r), "");
      EXPECT_EQ(AutomatonOf(r).removed.size(), p.strict.size());
      for (const auto& t : AutomatonOf(r).transitions) EXPECT_LE(t.height, AutomatonOf(r).cap);
    }
  }
}

TEST(MatchBoundRemoval, ARuleThatIsNotBoundedBecomesWeakAndStays) {
  // b a -> a a b alone is not match-bounded (b^n a reaches height n), but c -> a is
  // removed: its steps are at redexes of height 0, since no rule writes a c.
  const Problem p = Plain({"ba->aab", "c->a"});
  const Result r = Remove(p);
  ASSERT_EQ(r.kind, Result::Kind::Transformed) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  EXPECT_EQ(AutomatonOf(r).removed, std::vector<int>{1});
  ASSERT_EQ(r.subproblems.size(), 1u);
  EXPECT_EQ(r.subproblems[0].strict, (std::vector<Rule>{p.strict[0]}));
  // Only D = R: the completion gives up where b a -> a a b needs a height above the cap.
  MatchBoundRemovalOptions all;
  all.removeAll = true;
  all.caps = {3};
  const Result none = FindMatchBoundRemoval(p, Budget().Within(std::chrono::seconds(20)), all);
  EXPECT_EQ(none.kind, Result::Kind::Nothing);
  EXPECT_NE(none.note.find("height 4 needed"), std::string::npos) << none.note;
}

TEST(MatchBoundRemoval, ForwardClosuresForStandardProblemsOnly) {
  // a b -> b a is not bounded on every word (a^n b^n takes n^2 steps, a bound at most
  // linearly many) but is on the right sides of its forward closures, b a #^n.
  const Problem p = Plain({"ab->ba"});
  const Result all = Remove(p, StartWords::AllWords);
  const Result closures = Remove(p, StartWords::ForwardClosures);
  ASSERT_EQ(closures.kind, Result::Kind::Proved) << closures.note;
  EXPECT_EQ(RecheckResult(p, closures), "");
  EXPECT_NE(all.kind, Result::Kind::Proved);

  const Problem relative = Plain({"ab->ba", "b->=bb"});
  const Result refused = Remove(relative, StartWords::ForwardClosures);
  EXPECT_EQ(refused.kind, Result::Kind::Nothing);
  EXPECT_NE(refused.note.find("standard problems only"), std::string::npos) << refused.note;
  // The automaton of the standard problem offered for the relative one: refused whatever
  // the automaton, since forward closures prove nothing there.
  const std::string why = AutomatonOf(closures).Recheck(relative, {});
  EXPECT_NE(why.find("forward closures"), std::string::npos) << why;
}

TEST(MatchBoundRemoval, BothDirectionsTakeTheSmallerCapOfEitherFirst) {
  // The forward closures of R need a height above 4 (and more than 50000 transitions at
  // cap 6); those of R^rev have a bound of 1. The suffix reuse of the forward closures,
  // as the strategy takes it.
  const Problem p = Plain({"bbddbb->ccddbb", "ddcc->bbdd", "ddcc->ddbbdd"});
  MatchBoundRemovalOptions o;
  o.start = StartWords::ForwardClosures;
  o.reuse = MatchBoundOptions::Reuse::LongestSuffix;
  o.maxTransitions = 50000;
  const auto find = [&o](const Problem& q) {
    return FindMatchBoundRemoval(q, Budget().Within(std::chrono::seconds(20)), o);
  };
  // The search proves `q` by one automaton, of R^rev when `reversed`, at `cap`.
  const auto provedAt = [&](const Problem& q, bool reversed, int cap) {
    const Result r = find(q);
    ASSERT_EQ(r.kind, Result::Kind::Proved) << r.note;
    EXPECT_EQ(AutomatonOf(r).reversed, reversed);
    EXPECT_EQ(AutomatonOf(r).cap, cap);
    EXPECT_EQ(Check(q, AutomatonOf(r)), "");
  };
  const Result forward = find(p);
  EXPECT_EQ(forward.kind, Result::Kind::Nothing);
  EXPECT_EQ(forward.note.find("reversed"), std::string::npos) << forward.note;
  o.bothDirections = true;
  provedAt(p, true, 1);
  // bbb -> baa, ba -> ε, every rule at once: R needs cap 2, R^rev cap 1, which is found
  // before R's cap 2.
  const Problem small = Plain({"bbb->baa", "ba->"});
  o.bothDirections = false;
  o.removeAll = true;
  provedAt(small, false, 2);
  o.bothDirections = true;
  provedAt(small, true, 1);
  o.removeAll = false;
  // Where R has the smaller cap, R's automaton is the one found.
  const Problem ab = Plain({"ab->ba"});
  const Result r = find(ab);
  ASSERT_NE(r.kind, Result::Kind::Nothing) << r.note;
  o.bothDirections = false;
  const Result alone = find(ab);
  ASSERT_NE(alone.kind, Result::Kind::Nothing) << alone.note;
  EXPECT_EQ(AutomatonOf(r).cap, AutomatonOf(alone).cap);
  EXPECT_FALSE(AutomatonOf(r).reversed);
}

TEST(MatchBoundRemoval, RecheckRejectsCorruptedWitnesses) {
  const Problem p = Plain({"ba->aab", "c->a", "b->=bb"});
  const Result r = Remove(p);
  ASSERT_EQ(r.kind, Result::Kind::Transformed) << r.note;
  const MatchBoundRemovalWitness& good = AutomatonOf(r);
  ASSERT_EQ(Check(p, good), "");
  ASSERT_EQ(good.removed, std::vector<int>{1});

  // The a that c -> a writes from state 1 back into it at height 1 (the letters are
  // numbered as read: b, a, c), dropped, or moved down to height 0.
  const Symbol a = 1;
  const auto written = [&](const auto& t) {
    return t.from == 0 && t.to == 0 && t.letter == a && t.height == 1;
  };
  ASSERT_EQ(std::count_if(good.transitions.begin(), good.transitions.end(), written), 1);
  MatchBoundRemovalWitness missing = good;
  std::erase_if(missing.transitions, written);
  EXPECT_NE(Check(p, missing).find("the right side is missing at height 1"), std::string::npos)
      << Check(p, missing);
  MatchBoundRemovalWitness low = good;
  std::find_if(low.transitions.begin(), low.transitions.end(), written)->height = 0;
  EXPECT_NE(Check(p, low), "");
  // A start word not read: the loop of a at height 0 on state 1 taken away.
  MatchBoundRemovalWitness noStart = good;
  std::erase_if(noStart.transitions, [](const auto& t) {
    return t.from == 0 && t.to == 0 && t.height == 0 && t.letter == 0;
  });
  EXPECT_NE(Check(p, noStart).find("does not read"), std::string::npos) << Check(p, noStart);
  // A height above the cap, and a cap lowered below the heights used.
  MatchBoundRemovalWitness high = good;
  high.transitions.back().height = good.cap + 1;
  EXPECT_NE(Check(p, high), "");
  MatchBoundRemovalWitness lowCap = good;
  lowCap.cap -= 1;
  EXPECT_NE(Check(p, lowCap), "");
  // A weak rule used as strict: b a -> a a b claimed removed too.
  MatchBoundRemovalWitness greedy = good;
  greedy.removed = {0, 1};
  const std::string why = greedy.Recheck(p, {});
  EXPECT_NE(why.find("above the cap"), std::string::npos) << why;
  // The removed rules and the subproblem must agree.
  EXPECT_NE(good.Recheck(p, {}), "");
  EXPECT_NE(good.Recheck(p, {WithoutRules(p, {0}, {})}), "");
  MatchBoundRemovalWitness unsorted = good;
  unsorted.removed = {1, 1};
  EXPECT_NE(Check(p, unsorted), "");
}

TEST(MatchBoundRemoval, RecheckRejectsEveryTransitionDroppedFromAStrictAutomaton) {
  const Problem p = Plain({"aa->aba", "cb->e"});
  const Result r = Remove(p, StartWords::AllWords, false, {4});
  ASSERT_EQ(r.kind, Result::Kind::Proved) << r.note;
  const MatchBoundRemovalWitness& good = AutomatonOf(r);
  ASSERT_EQ(Check(p, good), "");
  ASSERT_LT(good.transitions.size(), 200u);
  for (std::size_t i = 0; i < good.transitions.size(); ++i) {
    MatchBoundRemovalWitness bad = good;
    bad.transitions.erase(bad.transitions.begin() + static_cast<std::ptrdiff_t>(i));
    EXPECT_NE(Check(p, bad), "") << "transition " << i << " dropped";
  }
}

TEST(MatchBoundRemoval, WeakRulesWithAnEmptyLeftSideAreWrittenAtTheCap) {
  // c -> ε relative to ε ->= b: the b written anywhere stays at the cap, below which the
  // c's are; after a removed c the next letter is read at the height it has.
  const Problem p = Plain({"c->e", "->=b"});
  const Result r = Remove(p);
  ASSERT_EQ(r.kind, Result::Kind::Proved) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  const auto& w = AutomatonOf(r);
  for (int q = 0; q < w.states; ++q)
    EXPECT_TRUE(
        std::any_of(w.transitions.begin(), w.transitions.end(),
                    [&](const auto& t) { return t.from == q && t.to == q && t.height == w.cap; }))
        << "state " << q + 1 << " reads b at the cap into itself";
  // A strict rule with an empty left side has no match bound.
  EXPECT_EQ(Remove(Plain({"->b"})).kind, Result::Kind::Nothing);
}

TEST(MatchBoundRemoval, PrintsRulesWithTheirStrictnessAndEveryTransition) {
  const Problem p = Plain({"ba->aab", "c->a"});
  const Result r = Remove(p);
  ASSERT_EQ(r.kind, Result::Kind::Transformed) << r.note;
  std::vector<std::string> lines;
  r.witness->Print(p, lines);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0].rfind("match bounds as rule removal, heights 0 to ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("on every word"), std::string::npos) << lines[0];
  EXPECT_EQ(lines[2], "    b a ->= a a b");
  EXPECT_EQ(lines[3], "    c -> a");
  EXPECT_EQ(lines.back(), "  removes c -> a");
  const auto head = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("  automaton:", 0) == 0;
  });
  ASSERT_NE(head, lines.end());
  EXPECT_EQ(static_cast<std::size_t>(lines.end() - head - 2), AutomatonOf(r).transitions.size());
}

}  // namespace
}  // namespace velkin::strong
