// The proof strategy: its three passes, their lines, the log mark and the checkpoint.
#include "prover/strategy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../test_util.h"

namespace velkin {
namespace {

using testing::LoadPlain;
using testing::LogLines;
using testing::RuleTexts;
using Lines = std::vector<std::string>;

constexpr const char* kReverseLine = "Reverse every lhs and rhs of the system.";
constexpr const char* kDependencyPairsLine = "Dependency pair transformation:";

// A state as the run driver hands it over: a head already in the log, the checkpoint
// holding something recognisable from an earlier run.
std::unique_ptr<State> Prepared(const std::string& text, int attempts) {
  auto st = MakeState();
  testing::LoadPlain(*st, text);
  AppendLogLine(*st, "head");
  st->checkpoint.ruleCount = 77;
  st->attemptCount = attempts;
  st->proved = 0;
  return st;
}

std::size_t CountLine(const Lines& lines, const std::string& line) {
  return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

TEST(RunStrategy, PlainPassProofEndsTheStrategy) {
  auto st = Prepared("ab -> ba\n", 0);
  RunStrategy(*st);
  EXPECT_EQ(st->proved, 1);
  EXPECT_EQ(
      LogLines(*st),
      (Lines{"head", "Choose polynomial interpretation:", "a: lambda x.10x,  rest lambda x.x+1",
             "remove: a b  -> b a ", "Terminating since no rules remain."}));
  EXPECT_EQ(st->logMark, st->log.length);
  EXPECT_EQ(st->checkpoint.ruleCount, 77) << "the checkpoint is not written";
}

TEST(RunStrategy, RelativeSystemsGetOnlyThePlainPass) {
  // b ->= bb makes the system non-terminating; it is not all-strict.
  auto st = Prepared("ab -> ba\nb ->= bb\nba -> ab\n", 0);
  ASSERT_EQ(st->allStrict, 0);
  RunStrategy(*st);
  EXPECT_EQ(st->proved, 0);
  const Lines lines = LogLines(*st);
  EXPECT_EQ(CountLine(lines, kDependencyPairsLine), 0u);
  EXPECT_EQ(CountLine(lines, kReverseLine), 0u);
  EXPECT_EQ(st->logMark, st->log.length);
  EXPECT_EQ(st->checkpoint.ruleCount, 77);
}

TEST(RunStrategy, DependencyPairPassFollowsThePlainPassLines) {
  // The plain pass removes d -> e and stops; the dependency pairs of the rest are proved.
  auto st = Prepared("caa -> ab\nb -> ac\nd -> e\n", 0);
  RunStrategy(*st);
  ASSERT_EQ(st->proved, 1);
  EXPECT_EQ(
      LogLines(*st),
      (Lines{"head", "Choose polynomial interpretation   d: lambda x.x+1,  rest identity",
             "remove: d  -> e", "Remaining rules:", "    c a a  -> a b ", "    b  -> a c ",
             kDependencyPairsLine, "  c a a  ->= a b ", "  b  ->= a c ", "  C a a  -> B ",
             "  B  -> C ", "Choose polynomial interpretation   a b: lambda x.x+1,  rest identity",
             "remove: C a a  -> B ",
             "Choose polynomial interpretation   B: lambda x.x+1,  rest identity",
             "remove: B  -> C ", "Relatively terminating since no strict rules remain."}));
  EXPECT_EQ(st->logMark, 6) << "the mark stays at the end of the plain pass";
  EXPECT_EQ(RuleTexts(st->checkpoint), (Lines{"c a a  -> a b ", "b  -> a c "}));
}

TEST(RunStrategy, ReversedPassReplacesTheFailedDependencyPairPass) {
  auto st = Prepared("bba -> aab\na -> b\n", 0);
  RunStrategy(*st);
  ASSERT_EQ(st->proved, 1);
  EXPECT_EQ(
      LogLines(*st),
      (Lines{"head", "", kReverseLine, "", kDependencyPairsLine, "  a b b  ->= b a a ",
             "  a  ->= b ", "  A b b  -> A a ", "  A b b  -> A ",
             "Choose polynomial interpretation   b a A: lambda x.x+1", "remove: A b b  -> A a ",
             "remove: A b b  -> A ", "Relatively terminating since no strict rules remain."}));
  EXPECT_EQ(st->logMark, 1);
  EXPECT_EQ(RuleTexts(st->checkpoint), (Lines{"b b a  -> a a b ", "a  -> b "}));
}

TEST(RunStrategy, FailedPassesLeaveTheReversedPassLinesAndTheCheckpoint) {
  // b -> bb loops; every pass fails.
  auto st = Prepared("b -> bb\n", 0);
  RunStrategy(*st);
  EXPECT_EQ(st->proved, 0);
  const Lines lines = LogLines(*st);
  EXPECT_EQ(st->logMark, 1) << "the plain pass wrote nothing";
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + std::min<std::size_t>(lines.size(), 8)),
            (Lines{"head", "", kReverseLine, "", kDependencyPairsLine, "  b  ->= b b ",
                   "  B  -> B b ", "  B  -> B "}));
  EXPECT_EQ(CountLine(lines, kDependencyPairsLine), 1u) << "the first pass's lines are gone";
  EXPECT_EQ(RuleTexts(st->checkpoint), (Lines{"b  -> b b "}));
  EXPECT_EQ(st->report, 0);
}

TEST(RunStrategy, PassesWhoseTransformationDoesNotApplyLeaveNoTrace) {
  // An empty lhs has no defined symbol: neither dependency-pair pass runs, the reversal
  // lines are withdrawn and the system after the plain pass is back in place.
  auto st = Prepared("-> a\n", 2);
  RunStrategy(*st);
  EXPECT_EQ(st->proved, 0);
  EXPECT_EQ(LogLines(*st), (Lines{"head"}));
  EXPECT_EQ(st->logMark, 1);
  EXPECT_EQ(RuleTexts(st->primary), (Lines{" -> a "}));
  EXPECT_EQ(RuleTexts(st->checkpoint), (Lines{" -> a "}));
}

TEST(RunStrategy, OutOfTimeNoProofButTheContractsHold) {
  auto st = Prepared("ab -> ba\n", 100);
  st->cancelled = true;  // the deadline has been seen to pass
  RunStrategy(*st);
  EXPECT_EQ(st->proved, 0);
  EXPECT_EQ(LogLines(*st), (Lines{"head"}));
  EXPECT_EQ(st->logMark, 1);
  EXPECT_EQ(RuleTexts(st->checkpoint), (Lines{"a b  -> b a "}));
}

}  // namespace
}  // namespace velkin
