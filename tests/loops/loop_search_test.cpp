// The loop search: which word is reported, when nothing is, and the proof text.
#include "loops/loop_search.h"

#include <gtest/gtest.h>

#include <string>

#include "../test_util.h"

namespace velkin {
namespace {

constexpr const char* kLoopLine = "Non-terminating; looping derivation starting in: ";

// Writes the head as the run driver does, plus one line of an earlier attempt.
void WriteHead(State& st) {
  st.log.length = 0;
  AppendProofHead(st);
  AppendLogLine(st, "a line of a failed attempt");
}

// Runs the search on a plain-format system; returns the loop line, or "" without a loop.
std::string LoopLine(const std::string& text) {
  auto st = MakeState();
  testing::LoadPlain(*st, text);
  WriteHead(*st);
  const int before = st->log.length;
  SearchLoop(*st);
  if (st->loop == 0) {
    EXPECT_EQ(st->log.length, before) << "a search without a loop writes nothing";
    return "";
  }
  EXPECT_EQ(st->log.length, st->headerRuleCount + 3);
  return st->log.lines[st->log.length];
}

std::string Word(const AncestorTable& t, const RuleSystem& sys, int w) {
  std::string out;
  for (int j = 0; t.words[w][j] != 0; ++j) out += sys.names[t.words[w][j]];
  return out;
}

TEST(SearchLoop, ReportsTheWordsOfTheKnownExamples) {
  EXPECT_EQ(LoopLine("a -> aa\n"), std::string(kLoopLine) + "a");
  EXPECT_EQ(LoopLine("aba -> babab\n"), std::string(kLoopLine) + "aba");
  // aab is no lhs: it rewrites to abbaa and on to bbaabaa, which contains aab.
  EXPECT_EQ(LoopLine("ab -> bbaa\n"), std::string(kLoopLine) + "aab");
}

TEST(SearchLoop, FillsTheTableWithoutALoopForASwap) {
  auto st = MakeState();
  testing::LoadPlain(*st, "ab -> ba\n");
  AncestorTable t;
  ASSERT_TRUE(CollectAncestors(*st, t));
  EXPECT_EQ(t.wordCount, kMaxLoopWords);
  // The first words follow the order of the steps: the lhs, then u[1..i] . l of the
  // right overlap at i = 1 (a ab), then l . u[2..] of the left overlap (ab b).
  EXPECT_EQ(Word(t, st->primary, 1), "ab");
  EXPECT_EQ(Word(t, st->primary, 2), "aab");
  EXPECT_EQ(Word(t, st->primary, 3), "abb");
  EXPECT_EQ(FindLoopingWord(t), 0);
  EXPECT_EQ(LoopLine("ab -> ba\n"), "");
}

TEST(SearchLoop, NoRulesNoWordsNoLoop) {
  auto st = MakeState();
  testing::LoadPlain(*st, "");
  AncestorTable t;
  ASSERT_TRUE(CollectAncestors(*st, t));
  EXPECT_EQ(t.wordCount, 0);
  SearchLoop(*st);
  EXPECT_EQ(st->loop, 0);
}

TEST(SearchLoop, KeepsOnlyTheHeadAndTheLoopLine) {
  auto st = MakeState();
  testing::LoadPlain(*st, "ab -> b\nb -> bb\n");
  WriteHead(*st);
  for (int k = 0; k < 30; ++k) AppendLogLine(*st, "more text");
  SearchLoop(*st);
  ASSERT_EQ(st->loop, 1);
  const auto lines = testing::LogLines(*st);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "VELKIN 1.3 is applied to the string rewriting system");
  EXPECT_EQ(lines[1], "a b  -> b ");
  EXPECT_EQ(lines[2], "b  -> b b ");
  EXPECT_EQ(lines[3], "");
  // ab is a lhs that rewrites into the looping b: the smallest such word is named.
  EXPECT_EQ(lines[4], std::string(kLoopLine) + "ab");
}

TEST(SearchLoop, PrintsLongNamesWithoutBlanks) {
  auto st = MakeState();
  testing::LoadTpdb(*st, "(RULES\n foo bar -> bar foo bar\n)\n");
  WriteHead(*st);
  SearchLoop(*st);
  ASSERT_EQ(st->loop, 1);
  EXPECT_EQ(st->log.lines[st->log.length], std::string(kLoopLine) + "foobar");
}

TEST(SearchLoop, GivesUpOnMoreThanAHundredRules) {
  std::string text;
  for (int i = 0; i < kMaxLoopRules; ++i) text += "a -> aa\n";
  EXPECT_EQ(LoopLine(text), std::string(kLoopLine) + "a");  // exactly 100 still fit
  text += "a -> aa\n";
  EXPECT_EQ(LoopLine(text), "");
}

TEST(SearchLoop, GivesUpWhenTimeIsUp) {
  auto st = MakeState();
  testing::LoadPlain(*st, "a -> aa\n");
  WriteHead(*st);
  st->cancelled = true;
  SearchLoop(*st);
  EXPECT_EQ(st->loop, 0);
}

TEST(SearchLoop, DropsCandidatesLongerThanASide) {
  // Overlaps of a 19-symbol word with a 19-symbol lhs form candidates of up to 37
  // symbols; they are dropped, while the rule itself still loops.
  const std::string a19(kMaxSideLength, 'a');
  EXPECT_EQ(LoopLine(a19 + " -> " + a19 + "\n"), std::string(kLoopLine) + a19);
}

TEST(SearchLoop, EmptyLhsLoopsInTheEmptyWord) {
  EXPECT_EQ(LoopLine("-> a\n"), std::string(kLoopLine));
}

TEST(SearchLoop, RuleWithEmptyRhsInsertsItsLhs) {
  // aa -> e: the only ancestors insert aa into aa; no word rewrites into a longer one.
  EXPECT_EQ(LoopLine("aa -> e\n"), "");
  auto st = MakeState();
  testing::LoadPlain(*st, "ab -> e\n");
  AncestorTable t;
  ASSERT_TRUE(CollectAncestors(*st, t));
  ASSERT_GE(t.wordCount, 3);
  EXPECT_EQ(Word(t, st->primary, 2), "abab");  // l before the first symbol of u
  EXPECT_EQ(Word(t, st->primary, 3), "aabb");  // l before the second; never after the last
}

// Relative systems: only a cycle that uses a strict rule shows relative non-termination.
TEST(SearchLoopRelative, OnlyWeakCycleReportsNothing) {
  // R = {a -> b}, S = {c -> cc} is relatively terminating, although c loops with S.
  EXPECT_EQ(LoopLine("a -> b\nc ->= cc\n"), "");
  // A strict step into a weak cycle is no strict cycle either.
  EXPECT_EQ(LoopLine("a -> c\nc ->= cc\n"), "");
}

TEST(SearchLoopRelative, CycleWithAStrictRuleIsReported) {
  EXPECT_EQ(LoopLine("c -> cc\na ->= b\n"), std::string(kLoopLine) + "c");
  // a ->= b -> aa: the cycle a, b uses one weak and one strict rule.
  EXPECT_EQ(LoopLine("b -> aa\na ->= b\n"), std::string(kLoopLine) + "b");
}

TEST(SearchLoopRelative, SkipsSmallerWordsThatReachOnlyWeakCycles) {
  // a is live (a weak cycle) and smaller than c, but only c reaches a strict cycle.
  EXPECT_EQ(LoopLine("a ->= aa\nc -> cc\n"), std::string(kLoopLine) + "c");
  // Without weak rules the smallest live word is named.
  EXPECT_EQ(LoopLine("a -> aa\nc -> cc\n"), std::string(kLoopLine) + "a");
}

TEST(FindLoopingWord, ReportsWordsThatReachAStrictCycleOffTheCycle) {
  AncestorTable t;
  t.wordCount = 4;
  // 1 -> 2 (weak), 2 -> 3 (weak), 3 -> 2 (strict), 4 -> 4 (weak).
  t.entry[1][2] = t.entry[2][3] = t.entry[3][2] = t.entry[4][4] = 1;
  t.strictEntry[3][2] = 1;
  EXPECT_EQ(FindLoopingWord(t), 1);
  t.strictEntry[3][2] = 0;
  t.strictEntry[1][2] = 1;  // strict, but on no cycle
  EXPECT_EQ(FindLoopingWord(t), 0);
  t.strictEntry[4][4] = 1;
  EXPECT_EQ(FindLoopingWord(t), 4);
}

}  // namespace
}  // namespace velkin
