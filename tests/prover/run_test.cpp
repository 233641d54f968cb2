// The whole run: from input text to status text and output lines.
#include "prover/run.h"

#include <gtest/gtest.h>

#include <limits>

#include "../test_util.h"

namespace velkin {
namespace {

RunInputs Inputs(const std::string& text) {
  RunInputs in;
  in.lines = SplitLines(text);
  return in;
}

TEST(ConvertAttempts, SignedDecimalWithin32Bits) {
  EXPECT_EQ(ConvertAttempts("100"), 100);
  EXPECT_EQ(ConvertAttempts("+7"), 7);
  EXPECT_EQ(ConvertAttempts("-3"), -3);
  EXPECT_EQ(ConvertAttempts("0"), 0);
  EXPECT_EQ(ConvertAttempts("2147483647"), 2147483647);
  EXPECT_EQ(ConvertAttempts("-2147483648"), INT32_MIN);
  for (const char* bad : {"", "+", "-", " 1", "1 ", "1x", "2147483648", "-2147483649",
                          "99999999999999999999", "0x10", "$10", "1.5"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ConvertAttempts(bad).has_value());
  }
  EXPECT_EQ(NotAnIntegerMessage("abc"), "'abc' is not a valid integer value");
}

TEST(ExecuteRun, TheRoadOfAbToBa) {
  auto st = MakeState();
  const RunResult r = ExecuteRun(*st, Inputs("ab -> ba"));
  EXPECT_EQ(r.outcome, RunOutcome::Terminating);
  EXPECT_EQ(r.status, "terminating");
  EXPECT_EQ(r.output, (std::vector<std::string>{
                          "VELKIN 1.3 is applied to the string rewriting system",
                          "a b  -> b a ",
                          "",
                          "Choose polynomial interpretation:",
                          "a: lambda x.10x,  rest lambda x.x+1",
                          "remove: a b  -> b a ",
                          "Terminating since no rules remain.",
                      }));
}

TEST(ExecuteRun, EmptyInputIsTerminatingWithATwoLineHead) {
  auto st = MakeState();
  const RunResult r = ExecuteRun(*st, Inputs(""));
  EXPECT_EQ(r.status, "terminating");
  EXPECT_EQ(r.output,
            (std::vector<std::string>{"VELKIN 1.3 is applied to the string rewriting system", ""}));
}

TEST(ExecuteRun, ALoopShowsTheHeadAndOneLine) {
  auto st = MakeState();
  const RunResult r = ExecuteRun(*st, Inputs("aba -> babab"));
  EXPECT_EQ(r.outcome, RunOutcome::LoopFound);
  EXPECT_EQ(r.status, "loop found");
  ASSERT_EQ(r.output.size(), 4u);  // header rule count + 3
  EXPECT_EQ(r.output[3], "Non-terminating; looping derivation starting in: aba");
}

TEST(ExecuteRun, AttemptsTextIsReadOnlyAtTheFinalPass) {
  auto st = MakeState();
  RunInputs in = Inputs("ab -> ba");
  in.attemptsText = "lots";
  // Proved by the first pass: the field is never looked at.
  EXPECT_EQ(ExecuteRun(*st, in).status, "terminating");
  // Without match bounds the first pass does not run, the loop search finds nothing
  // for ab -> ba, and the final pass needs the number.
  in.matchBound = false;
  const RunResult r = ExecuteRun(*st, in);
  EXPECT_EQ(r.outcome, RunOutcome::AttemptsInvalid);
  EXPECT_EQ(r.status, " busy ");
  EXPECT_TRUE(r.output.empty());
  EXPECT_EQ(r.error.message, "'lots' is not a valid integer value");
  // A loop found before the final pass also leaves the field unread.
  in.lines = SplitLines("aba -> babab");
  EXPECT_EQ(ExecuteRun(*st, in).status, "loop found");
}

TEST(ExecuteRun, WeakRuleSkipsTheMatchBoundRoadAndLeavesTheCheckpoint) {
  auto st = MakeState();
  testing::LoadPlain(*st, "xyz -> zyx\n");
  CopySystem(st->primary, st->checkpoint);  // a sentinel that no step of the next run may touch
  ExecuteRun(*st, Inputs("ab -> ba\nc ->= cc\n"));
  EXPECT_EQ(st->checkpoint.ruleCount, 1);
  EXPECT_EQ(st->checkpoint.names[1], "x");
}

TEST(ExecuteRun, RefusedInputIsAnErrorValue) {
  auto st = MakeState();
  const RunResult r = ExecuteRun(*st, Inputs("ab -> ba\nab\n"));
  EXPECT_EQ(r.outcome, RunOutcome::InputRefused);
  EXPECT_EQ(r.error.line, 2);
  EXPECT_TRUE(r.output.empty());
}

TEST(ExecuteRun, ReportsTheCountsOfTheSystemAsRead) {
  auto st = MakeState();
  // Counted as read, before any step removes rules or adds marked symbols.
  RunResult r = ExecuteRun(*st, Inputs("ab -> ba\nc ->= cc\nba -> e\n"));
  EXPECT_EQ(r.outcome, RunOutcome::Terminating);
  EXPECT_EQ(r.rules, 3);
  EXPECT_EQ(r.symbols, 3);
  r = ExecuteRun(*st, Inputs("aba -> abaab\n"));
  EXPECT_EQ(r.outcome, RunOutcome::LoopFound);
  EXPECT_EQ(r.rules, 1);
  EXPECT_EQ(r.symbols, 2);
  // A refused input has no counts, also after a run that had some.
  r = ExecuteRun(*st, Inputs("ab -> ba\nab\n"));
  EXPECT_EQ(r.rules, -1);
  EXPECT_EQ(r.symbols, -1);
}

TEST(ExecuteRun, RelativeTerminationNeverLoopsOnAWeakOnlyCycle) {
  auto st = MakeState();
  const RunResult r = ExecuteRun(*st, Inputs("a -> b\nc ->= cc\n"));
  EXPECT_NE(r.outcome, RunOutcome::LoopFound);
  EXPECT_EQ(r.status, "terminating");
}

TEST(ExecuteRun, TheRandomSequenceGoesOnFromRunToRun) {
  // A system that reaches labelling in the final pass draws random numbers; a second
  // run in the same state continues from where the first one stopped.
  auto st = MakeState();
  RunInputs in = Inputs("aa -> bc\nbb -> ac\ncc -> ab\n");
  in.attemptsText = "2";
  EXPECT_EQ(ExecuteRun(*st, in).status, " no proof ");
  const std::uint32_t after1 = st->randomState;
  EXPECT_NE(after1, 0u);
  ExecuteRun(*st, in);
  EXPECT_NE(st->randomState, after1);
  auto fresh = MakeState();
  ExecuteRun(*fresh, in);
  EXPECT_EQ(fresh->randomState, after1);  // same start, same draws
}

TEST(ExecuteRun, ATimeLimitEndsWithoutAResult) {
  auto st = MakeState();
  RunInputs in = Inputs("aa -> bc\nbb -> ac\ncc -> ab\n");
  in.timeoutSeconds = 1e-9;
  in.attemptsText = "100000";
  const RunResult r = ExecuteRun(*st, in);
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.outcome, RunOutcome::NoProof);
  EXPECT_EQ(r.status, " no proof ");
  EXPECT_TRUE(r.output.empty());
}

TEST(ExecuteRun, HugeOrMeaninglessTimeLimitsDoNotEndTheRunAtOnce) {
  for (double t : {1e300, std::numeric_limits<double>::infinity(),
                   std::numeric_limits<double>::quiet_NaN(), -1.0}) {
    SCOPED_TRACE(t);
    auto st = MakeState();
    RunInputs in = Inputs("ab -> ba");
    in.timeoutSeconds = t;
    const RunResult r = ExecuteRun(*st, in);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, "terminating");
  }
}

}  // namespace
}  // namespace velkin
