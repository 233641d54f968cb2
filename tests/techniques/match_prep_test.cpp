// The match-bound preparations: expansion of empty right-hand sides and stripping.
#include "techniques/match_prep.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../test_util.h"
#include "techniques/match_bound.h"

namespace velkin {
namespace {

using testing::LoadPlain;
using testing::LogLines;
using testing::RuleTexts;
using Texts = std::vector<std::string>;

// Loads a system into the checkpoint slot (as the strategy leaves it) with a head of
// three lines and the log mark after it.
void Checkpointed(State& st, const std::string& text) {
  LoadPlain(st, text);
  CopySystem(st.primary, st.checkpoint);
  st.log.length = 0;
  for (int k = 0; k < 3; ++k) AppendLogLine(st, "head");
  st.logMark = st.log.length;
}

TEST(ExpandEmptyRhs, WithoutEmptyRhsOnlyRestoresTheCheckpoint) {
  auto st = MakeState();
  Checkpointed(*st, "ab -> ba\n");
  st->primary.ruleCount = 0;  // the primary system has moved on
  ExpandEmptyRhs(*st);
  EXPECT_EQ(RuleTexts(st->primary), Texts{"a b  -> b a "});
  EXPECT_EQ(st->log.length, 3);
  EXPECT_EQ(st->logMark, 3);
}

TEST(ExpandEmptyRhs, ReplacesEachEmptyRhsRuleInPlace) {
  auto st = MakeState();
  Checkpointed(*st, "ab -> e\nb -> a\n");
  ExpandEmptyRhs(*st);
  const Texts rules = {"a b a  -> a ", "a b b  -> b ", "b  -> a "};
  EXPECT_EQ(RuleTexts(st->primary), rules);
  EXPECT_EQ(RuleTexts(st->working), rules);
  EXPECT_EQ(RuleTexts(st->checkpoint), rules);
  EXPECT_EQ(LogLines(*st), (Texts{"head", "head", "head", "Expand empty rhs:", "   a b a  -> a ",
                                  "   a b b  -> b ", "   b  -> a "}));
  EXPECT_EQ(st->logMark, 7);
  // A later variant starts from the expanded system.
  st->primary.ruleCount = 0;
  CopySystem(st->checkpoint, st->primary);
  EXPECT_EQ(RuleTexts(st->primary), rules);
}

TEST(ExpandEmptyRhs, EveryRuleBecomesStrictAndTheWholeAlphabetIsUsed) {
  auto st = MakeState();
  LoadPlain(*st, "a -> e\nb -> cb\nac -> e\n");
  st->primary.strict[2] = 0;
  st->primary.ruleCount = 1;  // b and c occur in no rule left, yet stay in the alphabet
  CopySystem(st->primary, st->checkpoint);
  st->log.length = 0;
  ExpandEmptyRhs(*st);
  EXPECT_EQ(RuleTexts(st->primary), (Texts{"a a  -> a ", "a b  -> b ", "a c  -> c "}));

  LoadPlain(*st, "a -> e\nb -> cb\nac -> e\n");
  st->primary.strict[2] = 0;
  CopySystem(st->primary, st->checkpoint);
  ExpandEmptyRhs(*st);
  ASSERT_EQ(st->primary.ruleCount, 3 + 1 + 3);         // two empty right-hand sides, 3 symbols
  EXPECT_EQ(RuleTexts(st->primary)[3], "b  -> c b ");  // the weak rule became strict
  EXPECT_EQ(RuleTexts(st->primary)[6], "a c c  -> c ");
  EXPECT_EQ(st->primary.symbolCount, 3);
}

TEST(ExpandEmptyRhs, ExpansionThatDoesNotFitOnlyRestores) {
  // A lhs of 19 symbols has no room for one more.
  auto st = MakeState();
  Checkpointed(*st, std::string(kMaxSideLength, 'a') + " -> e\nb -> a\n");
  ExpandEmptyRhs(*st);
  EXPECT_EQ(st->log.length, 3);
  EXPECT_EQ(st->logMark, 3);
  EXPECT_EQ(st->primary.ruleCount, 2);
  EXPECT_EQ(st->primary.rhs[1][0], 0);
  TryMatchBound(*st);  // the empty rhs keeps the match bound from applying
  EXPECT_EQ(st->proved, 0);
  EXPECT_EQ(st->log.length, 3);

  // 18 symbols still fit.
  auto fits = MakeState();
  Checkpointed(*fits, std::string(kMaxSideLength - 1, 'a') + " -> e\nb -> a\n");
  ExpandEmptyRhs(*fits);
  EXPECT_EQ(fits->primary.ruleCount, 3);
  EXPECT_EQ(Length(fits->primary.lhs[1]), kMaxSideLength);
}

TEST(ExpandEmptyRhs, ExpansionPastAThousandRulesOnlyRestores) {
  // 100 symbols: ten rules with empty rhs make exactly 1000 rules, one more rule is too
  // many.
  auto build = [](State& st, int extra) {
    std::string text;
    for (int i = 0; i < 10; ++i) text += "a -> e\n";
    for (int i = 0; i < extra; ++i) text += "a -> b\n";
    LoadPlain(st, text);
    st.primary.symbolCount = kMaxSymbols;
    for (int k = 3; k <= kMaxSymbols; ++k) st.primary.names[k] = "s" + std::to_string(k);
    CopySystem(st.primary, st.checkpoint);
    st.log.length = 0;
    st.logMark = 0;
  };
  auto st = MakeState();
  build(*st, 0);
  ExpandEmptyRhs(*st);
  EXPECT_EQ(st->primary.ruleCount, kMaxRules);
  EXPECT_EQ(st->log.length, 1 + kMaxRules);
  EXPECT_EQ(st->logMark, 1 + kMaxRules);

  auto over = MakeState();
  build(*over, 1);
  ExpandEmptyRhs(*over);
  EXPECT_EQ(over->primary.ruleCount, 11);
  EXPECT_EQ(over->log.length, 0);
  EXPECT_EQ(over->logMark, 0);
}

// Runs StripCommonSymbol on a one-line system; returns whether it applied.
bool Strip(State& st, const std::string& text) {
  LoadPlain(st, text);
  st.log.length = 0;
  return StripCommonSymbol(st);
}

TEST(StripCommonSymbol, StripsTheFirstSymbolOnce) {
  auto st = MakeState();
  ASSERT_TRUE(Strip(*st, "abc -> ad\n"));
  EXPECT_EQ(LogLines(*st), (Texts{"Strip first symbol, yielding the rule", "   b c  -> d "}));
  EXPECT_EQ(RuleTexts(st->primary), Texts{"b c  -> d "});
  EXPECT_EQ(RuleTexts(st->working), Texts{"b c  -> d "});
  // d has one symbol now: a second call does not apply and writes nothing.
  EXPECT_FALSE(StripCommonSymbol(*st));
  EXPECT_EQ(st->log.length, 2);
}

TEST(StripCommonSymbol, StripsTheLastWhenTheFirstDiffer) {
  auto st = MakeState();
  ASSERT_TRUE(Strip(*st, "ab -> bb\n"));
  EXPECT_EQ(LogLines(*st), (Texts{"Strip last symbol, yielding the rule", "   a  -> b "}));
  EXPECT_EQ(RuleTexts(st->primary), Texts{"a  -> b "});
  EXPECT_EQ(st->primary.symbolCount, 2);
}

TEST(StripCommonSymbol, PrefersTheFirstSymbolAndKeepsTheRest) {
  auto st = MakeState();
  ASSERT_TRUE(Strip(*st, "ab -> ab\n"));
  EXPECT_EQ(RuleTexts(st->primary), Texts{"b  -> b "});
  ASSERT_TRUE(Strip(*st, "aab -> aacb\n"));
  EXPECT_EQ(RuleTexts(st->primary), Texts{"a b  -> a c b "});
}

TEST(StripCommonSymbol, DoesNotApplyAndWritesNothing) {
  const std::vector<std::string> cases = {
      "ab -> a\n",           // a rhs of one symbol
      "a -> ab\n",           // a lhs of one symbol
      "ab -> ba\n",          // nothing shared at either end
      "ab -> ac\nb -> a\n",  // two rules
      "",                    // no rule
  };
  for (const std::string& text : cases) {
    auto st = MakeState();
    EXPECT_FALSE(Strip(*st, text)) << text;
    EXPECT_EQ(st->log.length, 0) << text;
  }
}

}  // namespace
}  // namespace velkin
