// The match-bound automaton: numbering, completion steps, limits and the printed proof.
#include "techniques/match_bound.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../test_util.h"

namespace velkin {
namespace {

using testing::LoadPlain;
using testing::LogLines;

// Runs an attempt on a plain-format system; returns the lines it wrote (with the report
// flag clear: the proof is written whatever it says).
std::vector<std::string> Attempt(State& st, const std::string& text) {
  LoadPlain(st, text);
  st.log.length = 0;
  st.report = 0;
  TryMatchBound(st);
  return LogLines(st);
}

// The transitions of state s in list order.
std::vector<int> ListOf(const MatchAutomaton& a, int s) {
  std::vector<int> out;
  for (int t = a.first[s]; t != 0; t = a.next[t]) out.push_back(t);
  return out;
}

TEST(TryMatchBound, ProvesTheSwapWithTheDocumentedAutomaton) {
  auto st = MakeState();
  const auto lines = Attempt(*st, "ab -> ba\n");
  EXPECT_EQ(st->proved, 1);
  const std::vector<std::string> expected = {
      "",
      "Terminating due to RFC match bound 1,",
      "proved by the automaton defined by",
      "initial state = 1, final state = 2, transitions:",
      "from 1 to 3, label: b0",
      "from 2 to 2, label: #0",
      "from 3 to 2, label: a0",
      "from 3 to 4, label: b1",
      "from 4 to 2, label: a1",
      "from 4 to 4, label: b1",
  };
  EXPECT_EQ(lines, expected);
}

TEST(TryMatchBound, NothingToCompleteGivesBoundZero) {
  auto st = MakeState();
  const auto lines = Attempt(*st, "a -> b\n");
  EXPECT_EQ(st->proved, 1);
  const std::vector<std::string> expected = {
      "",
      "Terminating due to RFC match bound 0,",
      "proved by the automaton defined by",
      "initial state = 1, final state = 2, transitions:",
      "from 1 to 2, label: b0",
      "from 2 to 2, label: #0",
  };
  EXPECT_EQ(lines, expected);
}

TEST(TryMatchBound, ProvesAGrowingRuleWithBoundOne) {
  auto st = MakeState();
  const auto lines = Attempt(*st, "aa -> aba\n");
  EXPECT_EQ(st->proved, 1);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], "Terminating due to RFC match bound 1,");
}

TEST(TryMatchBound, FailsAtTheGrowthLimitAndWritesNothing) {
  auto st = MakeState();
  st->proved = 0;
  EXPECT_TRUE(Attempt(*st, "a -> aa\n").empty());
  EXPECT_EQ(st->proved, 0);

  CopySystem(st->primary, st->working);
  MatchAutomaton a;
  BuildInitialAutomaton(*st, a);
  CompleteAutomaton(*st, a);
  EXPECT_TRUE(a.failed);
  // The failing step began at 801 at the latest after a chain ending at 801, and
  // finished its own chain of two.
  EXPECT_GT(a.transitionCount, kMatchGrowthLimit);
  EXPECT_LE(a.transitionCount, kMatchGrowthLimit + 3);
}

TEST(TryMatchBound, LeavesPrimaryAloneAndTheMarkerInTheWorkingSystem) {
  auto st = MakeState();
  LoadPlain(*st, "abc -> cba\nb -> a\n");
  st->logMark = 5;
  TryMatchBound(*st);
  EXPECT_EQ(st->primary.ruleCount, 2);
  EXPECT_EQ(st->primary.symbolCount, 3);
  EXPECT_EQ(st->logMark, 5);
  // One lhs of three symbols gives two end-marker rules, shorter prefix first; a lhs of
  // one symbol gives none.
  EXPECT_EQ(testing::RuleTexts(st->working),
            (std::vector<std::string>{"a b c  -> c b a ", "b  -> a ", "a #  ->= c b a ",
                                      "a b #  ->= c b a "}));
  EXPECT_EQ(st->working.symbolCount, 4);
}

TEST(BuildInitialAutomaton, NumbersChainsAndLinksTheFirstTransitionsOfRules) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> bca\nc -> a\nb -> cc\n");
  MatchAutomaton a;
  BuildInitialAutomaton(*st, a);
  // # is symbol 4, even though no rule mentions it, and the only end-marker rule is a #.
  EXPECT_EQ(st->working.names[4], "#");
  EXPECT_EQ(st->working.ruleCount, 4);
  // 1: 2 -> 2 #; rule 1: 2: 1 -> 3 b, 3: 3 -> 4 c, 4: 4 -> 2 a; rule 2: 5: 1 -> 2 a;
  // rule 3: 6: 1 -> 5 c, 7: 5 -> 2 c.
  EXPECT_EQ(a.stateCount, 5);
  EXPECT_EQ(a.transitionCount, 7);
  EXPECT_EQ(ListOf(a, 1), (std::vector<int>{2, 5, 6}));
  EXPECT_EQ(ListOf(a, 2), (std::vector<int>{1}));
  EXPECT_EQ(ListOf(a, 3), (std::vector<int>{3}));
  EXPECT_EQ(ListOf(a, 4), (std::vector<int>{4}));
  EXPECT_EQ(ListOf(a, 5), (std::vector<int>{7}));
  const std::vector<int> targets = {2, 3, 4, 2, 2, 5, 2};
  const std::vector<int> symbols = {4, 2, 3, 1, 1, 3, 3};
  for (int t = 1; t <= 7; ++t) {
    EXPECT_EQ(a.target[t], targets[t - 1]) << t;
    EXPECT_EQ(a.symbol[t], symbols[t - 1]) << t;
    EXPECT_EQ(a.height[t], 0) << t;
  }
}

TEST(BuildInitialAutomaton, MarkerIsNewEvenWhenASymbolIsNamedHash) {
  auto st = MakeState();
  LoadPlain(*st, "#a -> a#\n");
  MatchAutomaton a;
  BuildInitialAutomaton(*st, a);
  EXPECT_EQ(st->working.symbolCount, 3);
  EXPECT_EQ(st->working.names[1], "#");
  EXPECT_EQ(st->working.names[3], "#");
  EXPECT_EQ(a.symbol[1], 3);
}

// Rule 2 of "ab -> ba" is the end-marker rule a # -> b a; its redex from state 3 is the
// path (3, 1) with height 0, so its completion asks for height 1 into state 2.
class CompleteRedexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadPlain(*st, "ab -> ba\n");
    BuildInitialAutomaton(*st, a);
  }
  std::unique_ptr<State> st = MakeState();
  MatchAutomaton a;
  const std::int32_t path[3] = {3, 1, 0};
};

TEST_F(CompleteRedexTest, AddsAChainWhenNothingReadsTheRhs) {
  CompleteRedex(*st, a, 2, 3, path);
  EXPECT_EQ(a.bound, 1);
  ASSERT_EQ(a.transitionCount, 5);
  EXPECT_EQ(a.stateCount, 4);
  EXPECT_EQ(ListOf(a, 3), (std::vector<int>{3, 4}));  // appended at the tail
  EXPECT_EQ(ListOf(a, 4), (std::vector<int>{5}));
  EXPECT_EQ(a.target[4], 4);
  EXPECT_EQ(a.target[5], 2);
  EXPECT_EQ(a.height[4], 1);
  EXPECT_EQ(a.height[5], 1);
}

TEST_F(CompleteRedexTest, ShortcutGoesToTheHighestNumberedState) {
  // States 4 and 5 both read a with height 1 into state 2; state 6 reads it into 1.
  a.stateCount = 6;
  AddTransition(a, 4, 1, 2, 1);
  AddTransition(a, 5, 1, 2, 1);
  AddTransition(a, 6, 1, 1, 1);
  const int before = a.transitionCount;
  CompleteRedex(*st, a, 2, 3, path);
  ASSERT_EQ(a.transitionCount, before + 1);
  EXPECT_EQ(a.stateCount, 6);
  const int t = a.transitionCount;
  EXPECT_EQ(a.target[t], 5);
  EXPECT_EQ(a.symbol[t], 2);
  EXPECT_EQ(a.height[t], 1);
  EXPECT_EQ(ListOf(a, 3).back(), t);
}

TEST_F(CompleteRedexTest, RaisesTheBoundEvenWhenTheRhsIsInPlace) {
  CompleteRedex(*st, a, 2, 3, path);
  const int count = a.transitionCount;
  a.bound = 0;
  CompleteRedex(*st, a, 2, 3, path);
  EXPECT_EQ(a.transitionCount, count);
  EXPECT_EQ(a.bound, 1);
}

TEST_F(CompleteRedexTest, HeightIsOneAboveTheLowestOnThePath) {
  a.height[3] = 4;  // the path reads heights 4 and 0
  CompleteRedex(*st, a, 2, 3, path);
  EXPECT_EQ(a.bound, 1);
  a.height[1] = 2;  // now 4 and 2
  CompleteRedex(*st, a, 2, 3, path);
  EXPECT_EQ(a.bound, 3);
  EXPECT_EQ(a.height[a.transitionCount], 3);
}

TEST_F(CompleteRedexTest, FindRhsPathNeedsTheHeightAndTheEndState) {
  // 3 -b1-> 4, 4 -a1-> 1 (wrong end state), 4 -a2-> 2 (wrong height), 4 -a1-> 2.
  a.stateCount = 4;
  AddTransition(a, 3, 2, 4, 1);
  AddTransition(a, 4, 1, 1, 1);
  AddTransition(a, 4, 1, 2, 2);
  EXPECT_FALSE(FindRhsPath(*st, a, 2, 1, 2, 1, 3));
  EXPECT_TRUE(FindRhsPath(*st, a, 2, 1, 1, 1, 3));  // ends in state 1
  EXPECT_TRUE(FindRhsPath(*st, a, 2, 2, 2, 2, 4));  // from position 2, height 2
  AddTransition(a, 4, 1, 2, 1);
  EXPECT_TRUE(FindRhsPath(*st, a, 2, 1, 2, 1, 3));
  EXPECT_FALSE(FindRhsPath(*st, a, 2, 1, 2, 1, 1));  // state 1 reads b only with height 0
}

TEST(EnumerateRedexPaths, FindsPathsInListOrderAndFailsOnThe51st) {
  auto st = MakeState();
  LoadPlain(*st, "aa -> b\n");
  MatchAutomaton a;
  BuildInitialAutomaton(*st, a);
  // State 4 reads a into state 5 in ten ways, state 5 reads a into 2 in five: 50 paths.
  a.stateCount = 5;
  for (int j = 0; j < 10; ++j) AddTransition(a, 4, 1, 5, j);
  for (int j = 0; j < 5; ++j) AddTransition(a, 5, 1, 2, j);
  EnumerateRedexPaths(*st, a, 1, 4);
  EXPECT_FALSE(a.failed);
  ASSERT_EQ(a.pathCount, kMaxRedexPaths);
  const int firstOf4 = a.first[4];
  const int firstOf5 = a.first[5];
  EXPECT_EQ(a.paths[0][0], firstOf4);
  EXPECT_EQ(a.paths[0][1], firstOf5);
  EXPECT_EQ(a.paths[0][2], 0);
  EXPECT_EQ(a.paths[1][0], firstOf4);
  EXPECT_EQ(a.paths[1][1], a.next[firstOf5]);
  EXPECT_EQ(a.paths[5][0], a.next[firstOf4]);

  AddTransition(a, 5, 1, 2, 9);  // one more way: 60 paths
  EnumerateRedexPaths(*st, a, 1, 4);
  EXPECT_TRUE(a.failed);
  EXPECT_EQ(a.pathCount, kMaxRedexPaths);
}

// Systems that do not fit, or have no rule or an empty side, give up without a proof.
TEST(TryMatchBound, GivesUpOnSystemsItCannotHandle) {
  const std::vector<std::string> refused = {"", "-> a\n", "a -> e\n", "ab -> ba\nb -> e\n"};
  for (const std::string& text : refused) {
    auto st = MakeState();
    EXPECT_TRUE(Attempt(*st, text).empty()) << text;
    EXPECT_EQ(st->proved, 0) << text;
  }
}

TEST(TryMatchBound, GivesUpWhenTheMarkerFindsNoName) {
  auto st = MakeState();
  LoadPlain(*st, "a -> b\n");
  st->primary.symbolCount = kMaxSymbols;
  for (int k = 3; k <= kMaxSymbols; ++k) st->primary.names[k] = "s" + std::to_string(k);
  TryMatchBound(*st);
  EXPECT_EQ(st->proved, 0);
  st->primary.symbolCount = kMaxSymbols - 1;
  TryMatchBound(*st);
  EXPECT_EQ(st->proved, 1);
}

// b never occurs in a rhs, so nothing is ever completed: the attempt proves the system
// exactly when its initial automaton fits (1 + total rhs length <= 1000).
std::string ManyRules(int fullRules, int lastLength, char sym = 'a') {
  std::string text;
  for (int i = 0; i < fullRules; ++i) text += "b -> " + std::string(kMaxSideLength, sym) + "\n";
  if (lastLength > 0) text += "b -> " + std::string(lastLength, sym) + "\n";
  return text;
}

TEST(TryMatchBound, InitialAutomatonOfAThousandTransitionsFitsAndIsPrinted) {
  auto st = MakeState();
  const auto lines = Attempt(*st, ManyRules(52, 11));  // 1 + 988 + 11 = 1000
  EXPECT_EQ(st->proved, 1);
  // Four lines and 1000 transitions: the log keeps them all.
  EXPECT_EQ(st->log.length, 1004);
  EXPECT_EQ(lines.size(), 1004u);
  EXPECT_EQ(lines[1], "Terminating due to RFC match bound 0,");

  auto over = MakeState();
  EXPECT_TRUE(Attempt(*over, ManyRules(52, 12)).empty());
  EXPECT_EQ(over->proved, 0);
}

TEST(TryMatchBound, LargeAutomatonThatMustGrowStaysInItsRoom) {
  // Nearly 1000 transitions at the start, and a # -> a^19 needs a chain of 19: the step
  // begins above the growth limit, finishes its chain past 1000 and fails.
  auto st = MakeState();
  LoadPlain(*st, "aa -> " + std::string(kMaxSideLength, 'a') + "\n" + ManyRules(51, 0, 'c'));
  CopySystem(st->primary, st->working);
  MatchAutomaton a;
  BuildInitialAutomaton(*st, a);
  EXPECT_EQ(a.transitionCount, 1 + 52 * kMaxSideLength);
  CompleteAutomaton(*st, a);
  EXPECT_TRUE(a.failed);
  EXPECT_GT(a.transitionCount, kMatchTransitions);
  EXPECT_LE(a.transitionCount, kMatchTransitionRoom);
  st->log.length = 0;
  TryMatchBound(*st);
  EXPECT_EQ(st->proved, 0);
  EXPECT_EQ(st->log.length, 0);
}

TEST(TryMatchBound, EndMarkerRulesMustFitTheRuleTable) {
  // A lhs of three symbols brings two end-marker rules: 333 rules make 999, 334 too many.
  auto repeat = [](int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "abc -> d\n";
    return text;
  };
  auto st = MakeState();
  Attempt(*st, repeat(333));
  EXPECT_EQ(st->proved, 1);
  EXPECT_EQ(st->working.ruleCount, 999);
  auto over = MakeState();
  EXPECT_TRUE(Attempt(*over, repeat(334)).empty());
  EXPECT_EQ(over->proved, 0);
}

TEST(TryMatchBound, GivesUpWhenTimeIsUp) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\n");
  st->cancelled = true;
  st->log.length = 0;
  TryMatchBound(*st);
  EXPECT_EQ(st->proved, 0);
  EXPECT_EQ(st->log.length, 0);
}

}  // namespace
}  // namespace velkin
