// Polynomial interpretations: the evaluators, the order of the candidates, the proof
// lines, the removal of rules and the verdict.
#include "techniques/poly.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../test_util.h"

namespace velkin {
namespace {

using Lines = std::vector<std::string>;
using testing::LoadPlain;
using testing::LogLines;
using testing::RuleTexts;

// One search step with the report flag set; returns its result.
bool ReportedStep(State& st) {
  st.report = 1;
  const bool accepted = TryPolynomialInterpretation(st);
  st.report = 0;
  return accepted;
}

void ReportedReduce(State& st) {
  st.report = 1;
  ReduceAndReport(st);
  st.report = 0;
}

// A candidate with the given symbols (1-based ids) as successor / times ten.
PolyCandidate Mix(std::vector<int> successor, std::vector<int> timesTen, bool reversed) {
  PolyCandidate c;
  for (int s : successor) c.successor[s] = 1;
  for (int s : timesTen) c.timesTen[s] = 1;
  c.reversed = reversed ? 1 : 0;
  return c;
}

TEST(Evaluators, LinearMixReadsTheWordInBothDirections) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\n");
  // a = 10x, b = x+1: a b is 10x+10 read directly, 10x+1 read reversed.
  PolyCandidate direct = Mix({2}, {1}, false);
  EXPECT_TRUE(CheckLinearMix(*st, direct));
  EXPECT_EQ(direct.decrease[1], 1);
  PolyCandidate reversed = Mix({2}, {1}, true);
  EXPECT_FALSE(CheckLinearMix(*st, reversed));
  // A symbol with both flags is x+1 then times ten: a b with a = 10(x+1), b = x+1
  // gives 10x+20 against b a = 10x+11 directly.
  PolyCandidate both = Mix({1, 2}, {1}, false);
  EXPECT_TRUE(CheckLinearMix(*st, both));
}

TEST(Evaluators, LinearMixComparesMultipliersBeforeConstants) {
  auto st = MakeState();
  // a = 10x, b = x+1. Rule 1: 100x against 10x + 5 (more 10x on the left wins).
  // Rule 2: x + 4 against 10x (more 10x on the right refuses).
  LoadPlain(*st, "aa -> bbbbba\nbbbb -> a\n");
  PolyCandidate c = Mix({2}, {1}, false);
  c.decrease[2] = 7;  // not visited: keeps what it held
  EXPECT_FALSE(CheckLinearMix(*st, c));
  EXPECT_EQ(c.decrease[1], 1);
  EXPECT_EQ(c.decrease[2], 7);
}

TEST(Evaluators, LinearMixRefusesASixthTimesTen) {
  auto st = MakeState();
  LoadPlain(*st, "aaaaab -> aaaaa\n");
  PolyCandidate five = Mix({2}, {1}, false);
  EXPECT_TRUE(CheckLinearMix(*st, five));  // 10^5 x + 10^5 against 10^5 x

  auto six = MakeState();
  LoadPlain(*six, "b -> e\naaaaaa ->= aaaaaa\n");
  PolyCandidate c = Mix({1}, {2}, false);  // b = 1 is x+1, a = 2 is 10x
  EXPECT_FALSE(CheckLinearMix(*six, c));   // equal sides, but too many times ten
  EXPECT_EQ(c.decrease[1], 1);
}

TEST(Evaluators, CountsAndWeightsWithMultiplicity) {
  auto st = MakeState();
  LoadPlain(*st, "aab -> ba\nb ->= b\n");
  PolyCandidate c;
  c.successor[1] = 1;  // a: two on the left, one on the right
  EXPECT_TRUE(CheckSuccessorSet(*st, c));
  EXPECT_EQ(c.decrease[1], 1);
  EXPECT_EQ(c.decrease[2], 0);

  PolyCandidate w;
  w.weight[1] = 1;
  w.weight[2] = 3;  // 5 against 4
  EXPECT_TRUE(CheckAdditiveWeights(*st, w));
  w.weight[1] = 0;  // 3 against 3, and 3 against 3: nothing decreases
  EXPECT_FALSE(CheckAdditiveWeights(*st, w));
}

TEST(Evaluators, NoRulesMeansNoCandidateIsAccepted) {
  auto st = MakeState();
  LoadPlain(*st, "");
  PolyCandidate c;
  EXPECT_FALSE(CheckSuccessorSet(*st, c));
  EXPECT_FALSE(CheckAdditiveWeights(*st, c));
  EXPECT_FALSE(CheckLinearMix(*st, c));
  EXPECT_FALSE(TryPolynomialInterpretation(*st));
}

TEST(TryPolynomialInterpretation, SingleRuleAToBIsRemovedBySuccessorOnA) {
  auto st = MakeState();
  LoadPlain(*st, "a -> b\n");
  // All symbols x+1: 1 against 1, refused. S = {a}: 1 against 0, accepted.
  EXPECT_TRUE(ReportedStep(*st));
  EXPECT_EQ(LogLines(*st),
            (Lines{"Choose polynomial interpretation   a: lambda x.x+1,  rest identity",
                   "remove: a  -> b "}));
  EXPECT_EQ(st->working.ruleCount, 0);
  EXPECT_FALSE(ReportedStep(*st));
  EXPECT_EQ(st->log.length, 2);
}

TEST(TryPolynomialInterpretation, SuccessorSetNamesFollowOneAnotherBeforeOneLambda) {
  auto st = MakeState();
  // Symbols a = 1, c = 2, b = 3. All x+1 refuses rule 1 (1 against 2); {a} refuses
  // rule 2, {c} rule 1, {b} rule 3; {a, c} refuses rule 1; {a, b} decreases rule 1
  // and keeps rules 2 and 3.
  LoadPlain(*st, "a -> cc\nb -> a\na -> b\n");
  EXPECT_TRUE(ReportedStep(*st));
  EXPECT_EQ(LogLines(*st),
            (Lines{"Choose polynomial interpretation   a b: lambda x.x+1,  rest identity",
                   "remove: a  -> c c "}));
  EXPECT_EQ(RuleTexts(st->working), (Lines{"b  -> a ", "a  -> b "}));
}

TEST(TryPolynomialInterpretation, WholeAlphabetAsSuccessorHasNoRest) {
  auto st = MakeState();
  LoadPlain(*st, "abc -> ca\n");
  EXPECT_TRUE(ReportedStep(*st));
  EXPECT_EQ(LogLines(*st), (Lines{"Choose polynomial interpretation   a b c: lambda x.x+1",
                                  "remove: a b c  -> c a "}));
}

TEST(TryPolynomialInterpretation, ConstantWeightsWhenNoSuccessorSetWorks) {
  auto st = MakeState();
  // Phase 1 fails: rule 1 forbids any set holding b without a (and all symbols);
  // rule 2 forbids a without b. Weights: rule 1 needs wa >= 2wb, rule 2 3wb >= wa;
  // counting from (1,0,0) the first vector that decreases something is (2,1,0),
  // which removes rule 2 and keeps rule 1 (2 against 2) and rule 3.
  LoadPlain(*st, "a -> bb\nbbb -> a\nc ->= c\n");
  ReportedReduce(*st);
  EXPECT_EQ(LogLines(*st),
            (Lines{"Choose polynomial interpretation  ", "a: lambda x.x+2", "b: lambda x.x+1",
                   "c: identity", "remove: b b b  -> a ",
                   "Choose polynomial interpretation   a: lambda x.x+1,  rest identity",
                   "remove: a  -> b b ", "Relatively terminating since no strict rules remain."}));
  EXPECT_EQ(st->proved, 1);
  EXPECT_EQ(RuleTexts(st->working), Lines{"c  ->= c "});
}

TEST(TryPolynomialInterpretation, ConstantWeightsAreNotTriedWithFourSymbols) {
  // The system above with a fourth symbol: the weights (2,1,0,0) would work, but
  // only the mixtures are tried, and none of them fits both rules.
  auto st = MakeState();
  LoadPlain(*st, "a -> bb\nbbb -> a\nc ->= c\nd ->= d\n");
  EXPECT_FALSE(ReportedStep(*st));
  EXPECT_EQ(st->log.length, 0);
  EXPECT_EQ(st->working.ruleCount, 4);
}

TEST(TryPolynomialInterpretation, SwapRuleTakesTheFirstMixture) {
  auto st = MakeState();
  // No successor set and no weights decrease a b -> b a. a = 10x, rest x+1 gives
  // a(b(x)) = 10x+10 against b(a(x)) = 10x+1.
  LoadPlain(*st, "ab -> ba\n");
  ReportedReduce(*st);
  EXPECT_EQ(LogLines(*st),
            (Lines{"Choose polynomial interpretation:", "a: lambda x.10x,  rest lambda x.x+1",
                   "remove: a b  -> b a ", "Terminating since no rules remain."}));
  EXPECT_EQ(st->proved, 1);
}

TEST(TryPolynomialInterpretation, ReversedReadingOfTheFirstFamily) {
  auto st = MakeState();
  // c = 1, a = 2, b = 3. No successor set or weight decreases anything. Family 1
  // directly: c = 10x gives 10x+10 against 10x+11, a = 10x 10x+1 against 10x+20,
  // b = 10x x+2 against a multiple of 10x. Reversed, c = 10x gives 10x+1 against
  // 10x+11, but a = 10x gives a(c(x)) = 10x+10 against b(c(a(x))) = 10x+2.
  LoadPlain(*st, "ca -> acb\n");
  ReportedReduce(*st);
  EXPECT_EQ(LogLines(*st),
            (Lines{"Reverse every lhs and rhs of the system and choose polynomial interpretation:",
                   "a: lambda x.10x,  rest lambda x.x+1", "remove: c a  -> a c b ",
                   "Terminating since no rules remain."}));
}

TEST(TryPolynomialInterpretation, TwoTimesTenReversedHasTheJoinedHeading) {
  auto st = MakeState();
  // a = 1, b = 2, c = 3. Phase 1 and the weights find no decrease; families 1 to 3
  // and family 4 directly are refused by rule 2 (c(b(x)) = 10x+1 against
  // a(c(c(x))) = 10x+20 for a, b = 10x). Reversed, b(c(x)) = 10x+10 against
  // c(c(a(x))) = 10x+2, and a -> b stays 10x against 10x.
  LoadPlain(*st, "a -> b\ncb -> acc\n");
  EXPECT_TRUE(ReportedStep(*st));
  EXPECT_EQ(LogLines(*st),
            (Lines{"Reverse every lhs and rhs of the system and choose polynomialinterpretation:",
                   "a and b: lambda x.10x, rest lambda x.x+1", "remove: c b  -> a c c "}));
  EXPECT_EQ(RuleTexts(st->working), Lines{"a  -> b "});
}

TEST(TryPolynomialInterpretation, OneSuccessorRestTimesTenRemovesSeveralRules) {
  auto st = MakeState();
  // c = 1, a = 2, d = 3, b = 4; c = x+1, the rest 10x, reversed reading:
  // c -> e: x+1 > x; a c c -> c c d: 10x+20 > 10x+2; b c -> c c a: 10x+10 > 10x+2;
  // d c -> b c: 10x+10 = 10x+10 stays.
  LoadPlain(*st, "c -> e\ncca -> dcc\ncb -> acc\ncd -> cb\n");
  st->ruleOrigin[4] = 42;
  EXPECT_TRUE(ReportedStep(*st));
  EXPECT_EQ(LogLines(*st),
            (Lines{"Reverse every lhs and rhs of the system and choose polynomialinterpretation:",
                   "c: lambda x.x+1, rest lambda x.10x", "remove: c  -> e",
                   "remove: c c a  -> d c c ", "remove: c b  -> a c c "}));
  EXPECT_EQ(RuleTexts(st->working), Lines{"c d  -> c b "});
  EXPECT_EQ(st->ruleOrigin[1], 42);
}

TEST(TryPolynomialInterpretation, DescriptionsOfTheIdentityFamilies) {
  // a = 1, c = 2, d = 3, b = 4. a = 10x, b = x, rest x+1: a(c(x)) = 10x+10 against
  // d(a(b(x))) = 10x+1; d -> c stays x+1 against x+1.
  auto st = MakeState();
  LoadPlain(*st, "ac -> dab\nd -> c\n");
  EXPECT_TRUE(ReportedStep(*st));
  EXPECT_EQ(LogLines(*st),
            (Lines{"Choose polynomial interpretation:",
                   "a: lambda x.10x,  b: identity, rest lambda x.x+1", "remove: a c  -> d a b "}));

  // d = 1, c = 2, a = 3, b = 4. a = x, b = x+1, rest 10x: d -> c a is 10x = 10x,
  // c(b(x)) = 10x+10 against b(b(d(x))) = 10x+2.
  auto st7 = MakeState();
  LoadPlain(*st7, "d -> ca\ncb -> bbd\nd -> d\n");
  EXPECT_TRUE(ReportedStep(*st7));
  EXPECT_EQ(LogLines(*st7),
            (Lines{"Choose polynomial interpretation:",
                   "a: identity, b: lambda x.x+1, rest lambda x.10x", "remove: c b  -> b b d "}));
}

TEST(TryPolynomialInterpretation, RemovalKeepsOrderStrictFlagsAndOrigins) {
  auto st = MakeState();
  LoadPlain(*st, "b ->= b\na -> e\nb -> b\nba ->= b\naa ->= aa\n");
  for (int i = 1; i <= 5; ++i) st->ruleOrigin[i] = 10 + i;
  // All symbols x+1: no rule grows, rules 2 and 4 shrink and go, weak rule 4 too.
  EXPECT_TRUE(TryPolynomialInterpretation(*st));
  EXPECT_EQ(RuleTexts(st->working), (Lines{"b  ->= b ", "b  -> b ", "a a  ->= a a "}));
  EXPECT_EQ(st->ruleOrigin[1], 11);
  EXPECT_EQ(st->ruleOrigin[2], 13);
  EXPECT_EQ(st->ruleOrigin[3], 15);
  EXPECT_EQ(st->working.strict[2], 1);
  EXPECT_EQ(st->working.strict[3], 0);
  EXPECT_EQ(st->working.symbolCount, 2);  // symbols stay even where unused
  EXPECT_EQ(st->log.length, 0);           // silent
}

TEST(TryPolynomialInterpretation, GivesUpWithoutWritingWhenTimeIsUp) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\n");
  st->cancelled = true;
  EXPECT_FALSE(ReportedStep(*st));
  EXPECT_EQ(st->log.length, 0);
  EXPECT_EQ(st->working.ruleCount, 1);
  ReduceAndReport(*st);
  EXPECT_EQ(st->proved, 0);  // the strict rule is still there
}

TEST(ReduceAndReport, VerdictsAndTheirLines) {
  auto none = MakeState();
  LoadPlain(*none, "");
  none->pathOrderText = 1;
  ReportedReduce(*none);
  EXPECT_EQ(none->proved, 1);
  EXPECT_EQ(none->pathOrderText, 0);
  EXPECT_EQ(LogLines(*none), Lines{"Terminating since no rules remain."});

  auto weak = MakeState();
  LoadPlain(*weak, "ab ->= ab\n");
  ReportedReduce(*weak);
  EXPECT_EQ(weak->proved, 1);
  EXPECT_EQ(LogLines(*weak), Lines{"Relatively terminating since no strict rules remain."});

  auto one = MakeState();
  LoadPlain(*one, "ab -> ab\n");
  one->pathOrderText = 1;
  ReportedReduce(*one);
  EXPECT_EQ(one->proved, 0);
  EXPECT_EQ(one->pathOrderText, 1);
  EXPECT_EQ(LogLines(*one), (Lines{"Remaining rule:", "    a b  -> a b "}));

  auto two = MakeState();
  LoadPlain(*two, "ab -> ab\nb ->= b\n");
  ReportedReduce(*two);
  EXPECT_EQ(LogLines(*two), (Lines{"Remaining rules:", "    a b  -> a b ", "    b  ->= b "}));
}

TEST(ReduceAndReport, SilentRunAndReplayRemoveTheSameRules) {
  const std::string text = "abc -> cba\nba -> ab\nc ->= cc\nbb -> a\naab -> e\n";
  auto silent = MakeState();
  LoadPlain(*silent, text);
  ReduceAndReport(*silent);
  EXPECT_EQ(silent->log.length, 0);

  auto replay = MakeState();
  LoadPlain(*replay, text);
  ReportedReduce(*replay);
  EXPECT_EQ(RuleTexts(replay->working), RuleTexts(silent->working));
  EXPECT_EQ(replay->proved, silent->proved);
  const Lines lines = LogLines(*replay);
  ASSERT_FALSE(lines.empty());
  // Every removed rule is written once, and the verdict closes the text.
  int removed = 0;
  for (const std::string& l : lines) removed += l.rfind("remove: ", 0) == 0;
  EXPECT_EQ(removed, 5 - replay->working.ruleCount);
}

}  // namespace
}  // namespace velkin
