// Match bounds: proofs on R and R^rev, the limits, and the re-check of the automaton.
#include "strong/techniques/match_bounds.h"

#include <gtest/gtest.h>

#include "../strong_test_util.h"
#include "model/readers.h"
#include "model/state.h"
#include "model/system.h"
#include "techniques/match_bound.h"

namespace velkin::strong {
namespace {

using test::Plain;

Result Bound(const Problem& p, bool reversed = false, int maxHeight = 12) {
  MatchBoundOptions o;
  o.reversed = reversed;
  o.maxHeight = maxHeight;
  return FindMatchBound(p, Budget().Within(std::chrono::seconds(10)), o);
}

const MatchBoundWitness& AutomatonOf(const Result& r) {
  return static_cast<const MatchBoundWitness&>(*r.witness);
}

TEST(MatchBound, ProvesSmallSystemsWithTheirBoundsInBothDirections) {
  struct Case {
    std::vector<std::string> rules;
    int bound;  // -1: not known by hand
  };
  const std::vector<Case> cases{
      {{"ab->ba"}, 1},
      {{"a->b"}, 0},  // no left side can be read: nothing to complete
      {{"aa->aba"}, 1},
      {{"a->e", "b->a"}, -1},  // an empty right side, expanded
  };
  for (const Case& c : cases) {
    const Problem p = Plain(c.rules);
    for (bool reversed : {false, true}) {
      const Result r = Bound(p, reversed);
      ASSERT_EQ(r.kind, Result::Kind::Proved)
          << c.rules[0] << " reversed " << reversed << ": " << r.note;
      EXPECT_EQ(RecheckResult(p, r), "") << c.rules[0];
      if (!reversed && c.bound >= 0) {
        EXPECT_EQ(AutomatonOf(r).bound, c.bound) << c.rules[0];
      }
      EXPECT_EQ(AutomatonOf(r).reversed, reversed);
    }
  }
}

TEST(MatchBound, ASwapWithLongSidesBeyondTheClassicCapacity) {
  // a b^24 -> b^24 a: sides of 25 letters, which the classic construction refuses.
  Problem p;
  const Symbol a = p.alphabet.Add("a");
  const Symbol b = p.alphabet.Add("b");
  Rule swap;
  swap.lhs.push_back(a);
  swap.lhs.insert(swap.lhs.end(), 24, b);
  swap.rhs.assign(24, b);
  swap.rhs.push_back(a);
  p.strict.push_back(swap);
  ASSERT_GT(swap.lhs.size(), static_cast<std::size_t>(kMaxSideLength));
  const Result r = Bound(p);
  ASSERT_EQ(r.kind, Result::Kind::Proved) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  EXPECT_EQ(AutomatonOf(r).bound, 1);
}

TEST(MatchBound, ProvesWhatTheClassicConstructionRefusesAtItsGrowthLimit) {
  const std::vector<std::string> rules{"aaa->aabb", "bbbb->abaa"};
  auto classic = MakeState();
  ASSERT_TRUE(ParsePlainInput(*classic, InputLines(rules)).ok);
  TryMatchBound(*classic);
  EXPECT_EQ(classic->proved, 0) << "the classic construction stops above 800 transitions";

  const Problem p = Plain(rules);
  const Result r = Bound(p);
  ASSERT_EQ(r.kind, Result::Kind::Proved) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  EXPECT_GT(AutomatonOf(r).transitions.size(), 800u);
}

TEST(MatchBound, NonTerminatingSystemsAreNotProved) {
  for (const auto& rules :
       std::vector<std::vector<std::string>>{{"a->aa"}, {"ab->bab"}, {"ab->ba", "ba->ab"}}) {
    const Result r = Bound(Plain(rules), false, 6);
    EXPECT_EQ(r.kind, Result::Kind::Nothing) << rules[0];
    EXPECT_NE(r.note, "") << rules[0];
  }
}

TEST(MatchBound, OnlyStandardProblemsWithoutEmptyLeftSides) {
  EXPECT_EQ(Bound(Plain({"ab->ba", "b->=bb"})).kind, Result::Kind::Nothing);
  EXPECT_EQ(Bound(Plain({"ab->ba", "->a"})).kind, Result::Kind::Nothing);
}

TEST(MatchBound, RecheckRejectsACorruptedAutomaton) {
  const Problem p = Plain({"aab->bbaa"});
  const Result r = Bound(p);
  ASSERT_EQ(r.kind, Result::Kind::Proved) << r.note;
  const auto& good = AutomatonOf(r);
  ASSERT_EQ(good.Recheck(p, {}), "");
  // Every single dropped transition breaks either a start word or compatibility.
  for (std::size_t i = 0; i < good.transitions.size(); ++i) {
    MatchBoundWitness bad = good;
    bad.transitions.erase(bad.transitions.begin() + static_cast<std::ptrdiff_t>(i));
    EXPECT_NE(bad.Recheck(p, {}), "") << "transition " << i << " dropped";
  }
  MatchBoundWitness raised = good;
  for (auto& t : raised.transitions)
    if (t.height > 0) {
      t.height += 1;
      break;
    }
  EXPECT_NE(raised.Recheck(p, {}), "") << "a height changed";
  MatchBoundWitness flipped = good;
  flipped.reversed = !flipped.reversed;
  EXPECT_NE(flipped.Recheck(p, {}), "") << "the other direction";
  MatchBoundWitness stray = good;
  stray.transitions.push_back({0, 0, good.states, 0});
  EXPECT_NE(stray.Recheck(p, {}), "") << "an unknown state";
  // The automaton of one system proves nothing about another.
  EXPECT_NE(good.Recheck(Plain({"aab->bbaab"}), {}), "");
  EXPECT_NE(good.Recheck(Plain({"aab->bbaa", "b->=a"}), {}), "");
}

TEST(MatchBound, PrintsTheRulesWithEndMarkerAndEveryTransition) {
  const Problem p = Plain({"ab->ba"});
  const Result r = Bound(p);
  ASSERT_EQ(r.kind, Result::Kind::Proved);
  std::vector<std::string> lines;
  r.witness->Print(p, lines);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], "match bound 1 on the right-hand sides of forward closures, end marker #");
  EXPECT_EQ(lines[2], "    a b -> b a");
  EXPECT_EQ(lines[3], "    a # -> b a");
  // One line per transition after the automaton's head line.
  const auto head = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("  automaton:", 0) == 0;
  });
  ASSERT_NE(head, lines.end());
  EXPECT_EQ(static_cast<std::size_t>(lines.end() - head - 1), AutomatonOf(r).transitions.size());
  // A letter named # gets another marker name.
  const Problem hash = Plain({"#b->b#"});
  const Result rh = Bound(hash);
  ASSERT_EQ(rh.kind, Result::Kind::Proved);
  lines.clear();
  rh.witness->Print(hash, lines);
  EXPECT_NE(lines[0].find("end marker #1"), std::string::npos) << lines[0];
}

}  // namespace
}  // namespace velkin::strong
