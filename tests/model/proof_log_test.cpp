// The proof log and the rule printer.
#include <gtest/gtest.h>

#include "../test_util.h"
#include "model/proof_log.h"

namespace velkin {
namespace {

TEST(ProofLog, AppendsFromSlotOne) {
  auto st = MakeState();
  AppendLogLine(*st, "first");
  AppendLogLine(*st, "");
  EXPECT_EQ(st->log.length, 2);
  EXPECT_EQ(st->log.lines[1], "first");
  EXPECT_EQ(testing::LogLines(*st), (std::vector<std::string>{"first", ""}));
}

TEST(ProofLog, KeepsEveryLineAndRollsBackPastTheOldCut) {
  auto st = MakeState();
  for (int k = 1; k <= 1500; ++k) AppendLogLine(*st, "line " + std::to_string(k));
  EXPECT_EQ(st->log.length, 1500);
  const std::vector<std::string> shown = st->log.Shown();
  ASSERT_EQ(shown.size(), 1500u);
  EXPECT_EQ(shown[998], "line 999");
  EXPECT_EQ(shown[1499], "line 1500");
  st->log.length = 998;
  AppendLogLine(*st, "again");
  EXPECT_EQ(st->log.lines[999], "again");
  EXPECT_EQ(st->log.lines[1000], "line 1000");  // kept, but no longer counted
  EXPECT_EQ(st->log.Shown().size(), 999u);
}

TEST(ProofLog, RollBackToAMarkOverwritesOnlyWhatIsAppended) {
  auto st = MakeState();
  for (int k = 1; k <= 12; ++k) AppendLogLine(*st, std::to_string(k));
  st->log.length = 7;
  AppendLogLine(*st, "new");
  EXPECT_EQ(st->log.lines[8], "new");
  EXPECT_EQ(st->log.lines[9], "9");  // still there, but no longer counted
  EXPECT_EQ(st->log.Shown().size(), 8u);
}

TEST(ProofLog, TheHeadAndTheCutBackToIt) {
  auto st = MakeState();
  testing::LoadPlain(*st, "ab -> ba\nc ->= e\n");
  AppendLogLine(*st, "a line before the head stays");
  AppendProofHead(*st);
  EXPECT_EQ(testing::LogLines(*st),
            (std::vector<std::string>{"a line before the head stays",
                                      "VELKIN 1.3 is applied to the string rewriting system",
                                      "a b  -> b a ", "c  ->= e", ""}));
  EXPECT_EQ(st->headerRuleCount, 2);
  // The cut keeps the head line, the rules and the empty line, counted from line 1.
  st->log.length = 0;
  AppendProofHead(*st);
  AppendLogLine(*st, "a step");
  AppendLogLine(*st, "another");
  CutBackToProofHead(*st);
  EXPECT_EQ(st->log.length, 4);
  EXPECT_EQ(st->log.lines[4], "");
}

TEST(FormatRule, BlanksAfterEveryNameAndAroundTheArrow) {
  auto st = MakeState();
  testing::LoadPlain(*st, "ab -> ba\nab ->= e\n-> a\n");
  EXPECT_EQ(FormatRule(*st, 1), "a b  -> b a ");
  EXPECT_EQ(FormatRule(*st, 2), "a b  ->= e");
  EXPECT_EQ(FormatRule(*st, 3), " -> a ");
}

TEST(FormatRule, MultiCharacterAndNonAsciiNamesPrintIntact) {
  auto st = MakeState();
  testing::LoadTpdb(*st, "(RULES f1 g -> g f1)");
  EXPECT_EQ(FormatRule(*st, 1), "f1 g  -> g f1 ");
  testing::LoadPlain(*st, "αβ -> βα\n");
  EXPECT_EQ(FormatRule(*st, 1), "α β  -> β α ");
}

}  // namespace
}  // namespace velkin
