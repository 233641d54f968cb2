// The technique loop: committed polynomial steps, path order, labelling, label removal.
#include "techniques/technique_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../test_util.h"

namespace velkin {
namespace {

using testing::LoadPlain;
using testing::LogLines;
using testing::RuleTexts;
using Lines = std::vector<std::string>;

TEST(TechniqueLoop, SystemsWithoutStrictRulesAreProvedWithoutALine) {
  auto st = MakeState();
  for (const char* text : {"", "a ->= a\n"}) {
    LoadPlain(*st, text);
    st->proved = 0;
    st->log.length = 0;
    TechniqueLoop(*st);
    EXPECT_EQ(st->proved, 1) << text;
    EXPECT_EQ(st->log.length, 0) << text;
  }
}

TEST(TechniqueLoop, PolynomialStepsAreReplayedWithTextAndCommitted) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\n");
  st->attemptCount = 100;
  TechniqueLoop(*st);
  EXPECT_EQ(st->proved, 1);
  EXPECT_EQ(LogLines(*st),
            (Lines{"Choose polynomial interpretation:", "a: lambda x.10x,  rest lambda x.x+1",
                   "remove: a b  -> b a ", "Terminating since no rules remain."}));
  EXPECT_EQ(st->primary.ruleCount, 0);
  EXPECT_EQ(st->report, 0);
  EXPECT_EQ(st->randomState, 0u) << "labelling was not needed";
}

TEST(TechniqueLoop, PathOrderProofFollowsThePolynomialLines) {
  // d -> e goes by polynomials, which cannot orient the other two rules; the path order
  // can, on the system that the polynomials left.
  auto st = MakeState();
  LoadPlain(*st, "cb -> abc\naa -> bbb\nd -> e\n");
  st->attemptCount = 100;
  TechniqueLoop(*st);
  ASSERT_EQ(st->proved, 1);
  EXPECT_EQ(
      LogLines(*st),
      (Lines{"Choose polynomial interpretation   d: lambda x.x+1,  rest identity",
             "remove: d  -> e", "Remaining rules:", "    c b  -> a b c ", "    a a  -> b b b ", "",
             "Terminating by recursive path order with precedence:", "  c>a  c>b  a>b"}));
  EXPECT_EQ(RuleTexts(st->primary), (Lines{"c b  -> a b c ", "a a  -> b b b "}));
  EXPECT_EQ(st->randomState, 0u) << "labelling was not needed";
}

TEST(RemoveLabels, KeepsRulesWithACopyInOrderWithTheirStrictFlags) {
  auto st = MakeState();
  LoadPlain(*st, "a -> b\nb ->= c\nc -> a\nab -> ba\n");
  st->working.ruleCount = 4;
  st->ruleOrigin[1] = 4;
  st->ruleOrigin[2] = 0;  // a quasi-model rule names no primary rule
  st->ruleOrigin[3] = 2;
  st->ruleOrigin[4] = 4;
  RemoveLabels(*st);
  EXPECT_EQ(RuleTexts(st->primary), (Lines{"b  ->= c ", "a b  -> b a "}));
  EXPECT_EQ(RuleTexts(st->working), RuleTexts(st->primary));
  EXPECT_EQ(st->working.symbolCount, 3);
  EXPECT_EQ(LogLines(*st), (Lines{"", "Remove all labels, remaining unlabelled system:",
                                  "    b  ->= c ", "    a b  -> b a "}));
}

// b -> bb loops. Neither the polynomials nor the path order remove aba -> aab, but the
// first labelling attempt removes both of its labelled copies.
constexpr const char* kLabelsHelp = "aba -> aab\nb -> bb\n";
const Lines kLabelsHelpRules{"a b a  -> a a b ", "b  -> b b "};

TEST(TechniqueLoop, WithoutRemLabelsOnePassAndNoLabelRemoval) {
  auto st = MakeState();
  LoadPlain(*st, kLabelsHelp);
  st->remLabels = false;
  st->attemptCount = 3;
  TechniqueLoop(*st);
  EXPECT_EQ(st->proved, 0);
  EXPECT_EQ(st->log.length, 0);
  EXPECT_EQ(RuleTexts(st->primary), kLabelsHelpRules);
  EXPECT_NE(st->randomState, 0u) << "labelling was tried";
}

TEST(TechniqueLoop, LabelRemovalStartsTheNextPassOnTheSmallerSystem) {
  auto st = MakeState();
  LoadPlain(*st, kLabelsHelp);
  st->remLabels = true;
  st->attemptCount = 3;
  TechniqueLoop(*st);
  EXPECT_EQ(st->proved, 0);
  const Lines lines = LogLines(*st);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[2], "  a: constant 0");
  EXPECT_EQ(lines[3], "  b: constant 1");
  EXPECT_EQ(Lines(lines.end() - 5, lines.end()),
            (Lines{"    b0   -> b1  b0  ", "    b1   -> b1  b1  ", "",
                   "Remove all labels, remaining unlabelled system:", "    b  -> b b "}));
  EXPECT_EQ(RuleTexts(st->primary), (Lines{"b  -> b b "}));
  EXPECT_EQ(st->report, 0);
}

TEST(TechniqueLoop, NoAttemptsMeansOnePass) {
  auto st = MakeState();
  LoadPlain(*st, kLabelsHelp);
  st->attemptCount = 0;
  TechniqueLoop(*st);
  EXPECT_EQ(st->proved, 0);
  EXPECT_EQ(st->log.length, 0);
  EXPECT_EQ(st->randomState, 0u);
  EXPECT_EQ(RuleTexts(st->primary), kLabelsHelpRules);
}

TEST(TechniqueLoop, ALabellingStepOnTheReversedSystemKeepsItReversed) {
  // The first success comes on the reversal: b -> baa, ab -> cb. Label removal keeps
  // b -> baa, and the loop goes on with (and ends with) the reversed system.
  auto st = MakeState();
  LoadPlain(*st, "b -> aab\nba -> bc\n");
  st->attemptCount = 3;
  TechniqueLoop(*st);
  EXPECT_EQ(st->proved, 0);
  const Lines lines = LogLines(*st);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 4),
            (Lines{"", "Reverse every lhs and rhs of the system.", "",
                   "Apply labelling with the following interpretation in {0,1}:"}));
  EXPECT_EQ(lines.back(), "    b  -> b a a ");
  EXPECT_EQ(RuleTexts(st->primary), (Lines{"b  -> b a a "}));
}

}  // namespace
}  // namespace velkin
