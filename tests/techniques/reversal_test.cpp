// Reversal of the working system and the dependency pair transformation.
#include "techniques/reversal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../test_util.h"

namespace velkin {
namespace {

using Lines = std::vector<std::string>;
using testing::LoadPlain;
using testing::LoadTpdb;
using testing::Row;
using testing::RuleTexts;

// Transforms the primary system, copies it to the working system and prints it.
Lines TransformAndPrint(State& st) {
  EXPECT_TRUE(DependencyPairTransform(st));
  CopySystem(st.primary, st.working);
  st.log.length = 0;
  PrintDependencyPairs(st);
  return testing::LogLines(st);
}

TEST(ReverseWorkingSystem, ReversesBothSidesAndTwiceGivesBackTheRows) {
  auto st = MakeState();
  LoadPlain(*st, "abc -> ca\naba ->= e\nb -> cab\n");
  const RuleSystem before = st->working;
  ReverseWorkingSystem(*st);
  EXPECT_EQ(Row(st->working.lhs[1]), (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(Row(st->working.rhs[1]), (std::vector<int>{1, 3}));
  EXPECT_EQ(Row(st->working.lhs[2]), (std::vector<int>{1, 2, 1}));  // palindrome
  EXPECT_EQ(Row(st->working.rhs[2]), std::vector<int>{});
  EXPECT_EQ(Row(st->working.lhs[3]), std::vector<int>{2});
  EXPECT_EQ(Row(st->working.rhs[3]), (std::vector<int>{2, 1, 3}));
  // Flags, counts and names stay.
  EXPECT_EQ(st->working.strict[1], 1);
  EXPECT_EQ(st->working.strict[2], 0);
  EXPECT_EQ(st->working.ruleCount, 3);
  EXPECT_EQ(st->working.names[3], "c");
  ReverseWorkingSystem(*st);
  EXPECT_EQ(st->working.lhs, before.lhs);
  EXPECT_EQ(st->working.rhs, before.rhs);
}

TEST(ReverseWorkingSystem, LeavesRowsBeyondTheRuleCountAlone) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\nabc -> cba\n");
  st->working.ruleCount = 1;
  ReverseWorkingSystem(*st);
  EXPECT_EQ(Row(st->working.lhs[1]), (std::vector<int>{2, 1}));
  EXPECT_EQ(Row(st->working.lhs[2]), (std::vector<int>{1, 2, 3}));
}

TEST(ReversePrimaryRules, ReversesThePrimaryRowsAndKeepsTheWorkingNames) {
  auto st = MakeState();
  LoadPlain(*st, "abc -> ca\naba ->= e\n");
  const RuleSystem input = st->primary;
  // The working system holds labelled names and more rules, as during labelling.
  st->working.names[4] = "a0 ";
  st->working.symbolCount = 6;
  st->working.ruleCount = 5;
  st->working.strict[2] = 1;
  ReversePrimaryRules(*st);
  EXPECT_EQ(Row(st->primary.lhs[1]), (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(Row(st->primary.rhs[1]), (std::vector<int>{1, 3}));
  EXPECT_EQ(Row(st->primary.rhs[2]), std::vector<int>{});
  EXPECT_EQ(st->primary.strict, input.strict);
  EXPECT_EQ(st->primary.names, input.names);
  EXPECT_EQ(st->primary.ruleCount, 2);
  // The working system carries the reversed rows and the rule count, nothing else.
  EXPECT_EQ(st->working.lhs, st->primary.lhs);
  EXPECT_EQ(st->working.rhs, st->primary.rhs);
  EXPECT_EQ(st->working.ruleCount, 2);
  EXPECT_EQ(st->working.names[4], "a0 ");
  EXPECT_EQ(st->working.symbolCount, 6);
  EXPECT_EQ(st->working.strict[2], 1);
  ReversePrimaryRules(*st);
  EXPECT_EQ(st->primary.lhs, input.lhs);
  EXPECT_EQ(st->primary.rhs, input.rhs);
}

TEST(DependencyPairTransform, SingleSwapRuleGivesWeakRuleAndOnePair) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\n");
  const Lines lines = TransformAndPrint(*st);
  EXPECT_EQ(lines, (Lines{"Dependency pair transformation:", "  a b  ->= b a ", "  A b  -> A "}));
  EXPECT_EQ(st->primary.symbolCount, 3);
  EXPECT_EQ(st->primary.names[3], "A");
  EXPECT_EQ(Row(st->primary.lhs[2]), (std::vector<int>{3, 2}));
  EXPECT_EQ(Row(st->primary.rhs[2]), std::vector<int>{3});
}

TEST(DependencyPairTransform, OnePairPerDefinedOccurrenceInRuleAndPositionOrder) {
  auto st = MakeState();
  // Defined: a and c (heads); b is not. Rule 1 has defined symbols at three rhs
  // positions, rule 2 has none, rule 3 has an empty rhs.
  LoadPlain(*st, "ab -> acba\nc -> bb\ncb -> e\nab -> c\n");
  const Lines lines = TransformAndPrint(*st);
  EXPECT_EQ(lines, (Lines{"Dependency pair transformation:", "  a b  ->= a c b a ", "  c  ->= b b ",
                          "  c b  ->= e", "  a b  ->= c ", "  A b  -> A c b a ", "  A b  -> C b a ",
                          "  A b  -> A ", "  A b  -> C "}));
  // Marked copies in symbol order: A is symbol 4, C symbol 5; b has none.
  EXPECT_EQ(st->primary.symbolCount, 5);
  EXPECT_EQ(st->primary.names[4], "A");
  EXPECT_EQ(st->primary.names[5], "C");
  EXPECT_EQ(st->primary.ruleCount, 8);
}

TEST(DependencyPairTransform, UndefinedSymbolsGetNoMarkedCopy) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> b\n");
  const Lines lines = TransformAndPrint(*st);
  EXPECT_EQ(lines, (Lines{"Dependency pair transformation:", "  a b  ->= b "}));
  EXPECT_EQ(st->primary.symbolCount, 3);
  EXPECT_EQ(st->primary.ruleCount, 1);
  EXPECT_EQ(st->primary.strict[1], 0);
}

TEST(DependencyPairTransform, MarkedNamesOfCapitalsDigitsAndLongNames) {
  auto st = MakeState();
  LoadTpdb(*st, "(RULES A x -> A, 1 -> 1, f1 -> f1 f1, a -> a, z -> )");
  const Lines lines = TransformAndPrint(*st);
  // Symbols: A 1, x 2, 1 3, f1 4, a 5, z 6. Marked: #A 7, #1 8, #f1 9, A 10, Z 11.
  EXPECT_EQ(st->primary.names[7], "#A");
  EXPECT_EQ(st->primary.names[8], "#1");
  EXPECT_EQ(st->primary.names[9], "#f1");
  EXPECT_EQ(st->primary.names[10], "A");
  EXPECT_EQ(st->primary.names[11], "Z");
  // The marked a prints like the old A but is a different symbol.
  EXPECT_NE(st->primary.lhs[10][0], st->primary.lhs[1][0]);
  EXPECT_EQ(lines, (Lines{"Dependency pair transformation:", "  A x  ->= A ", "  1  ->= 1 ",
                          "  f1  ->= f1 f1 ", "  a  ->= a ", "  z  ->= e", "  #A x  -> #A ",
                          "  #1  -> #1 ", "  #f1  -> #f1 f1 ", "  #f1  -> #f1 ", "  A  -> A "}));
}

TEST(DependencyPairTransform, EmptyLhsLeavesThePrimarySystemUntouched) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\n-> a\n");
  const RuleSystem before = st->primary;
  EXPECT_FALSE(DependencyPairTransform(*st));
  EXPECT_EQ(RuleTexts(st->primary), RuleTexts(before));
  EXPECT_EQ(st->primary.symbolCount, 2);
  EXPECT_EQ(st->primary.strict, before.strict);
}

TEST(DependencyPairTransform, RefusesWhenTheMarkedSymbolsWouldNotFit) {
  // 50 defined symbols and 50 more: 150 symbols would be needed.
  std::string text = "(RULES ";
  for (int k = 1; k <= 50; ++k)
    text += "f" + std::to_string(k) + " g" + std::to_string(k) + " -> ,";
  text += ")";
  auto st = MakeState();
  LoadTpdb(*st, text);
  ASSERT_EQ(st->primary.symbolCount, 100);
  const RuleSystem before = st->primary;
  EXPECT_FALSE(DependencyPairTransform(*st));
  EXPECT_EQ(st->primary.symbolCount, 100);
  EXPECT_EQ(st->primary.ruleCount, 50);
  EXPECT_EQ(st->primary.strict, before.strict);
  EXPECT_EQ(st->primary.names, before.names);

  // 50 defined symbols alone give exactly 100.
  auto fit = MakeState();
  std::string fitting = "(RULES ";
  for (int k = 1; k <= 50; ++k) fitting += "f" + std::to_string(k) + " -> ,";
  LoadTpdb(*fit, fitting + ")");
  EXPECT_TRUE(DependencyPairTransform(*fit));
  EXPECT_EQ(fit->primary.symbolCount, 100);
  EXPECT_EQ(fit->primary.names[100], "#f50");
}

TEST(DependencyPairTransform, RefusesWhenThePairsWouldNotFit) {
  // Each rule a -> a^19 gives 19 pairs: 50 rules give exactly 1000 rules in all.
  const std::string rule = "a -> " + std::string(19, 'a') + "\n";
  std::string text;
  for (int k = 0; k < 50; ++k) text += rule;
  auto st = MakeState();
  LoadPlain(*st, text);
  EXPECT_TRUE(DependencyPairTransform(*st));
  EXPECT_EQ(st->primary.ruleCount, 1000);
  EXPECT_EQ(Row(st->primary.rhs[1000]), std::vector<int>{2});

  auto over = MakeState();
  LoadPlain(*over, text + rule);
  const RuleSystem before = over->primary;
  EXPECT_FALSE(DependencyPairTransform(*over));
  EXPECT_EQ(over->primary.ruleCount, 51);
  EXPECT_EQ(over->primary.symbolCount, 1);
  EXPECT_EQ(over->primary.strict, before.strict);
}

TEST(DependencyPairTransform, EmptySystemStaysEmpty) {
  auto st = MakeState();
  LoadPlain(*st, "");
  EXPECT_TRUE(DependencyPairTransform(*st));
  EXPECT_EQ(st->primary.ruleCount, 0);
  EXPECT_EQ(st->primary.symbolCount, 0);
}

}  // namespace
}  // namespace velkin
