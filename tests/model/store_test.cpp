// The system store: symbol table and whole-bank copies.
#include <gtest/gtest.h>

#include "../test_util.h"
#include "model/state.h"

namespace velkin {
namespace {

TEST(LookupSymbol, NumbersNamesInOrderOfFirstOccurrence) {
  auto st = MakeState();
  EXPECT_EQ(LookupSymbol(*st, "a"), 1);
  EXPECT_EQ(st->primary.symbolCount, 1);
  EXPECT_EQ(LookupSymbol(*st, "b"), 2);
  EXPECT_EQ(LookupSymbol(*st, "a"), 1);
  EXPECT_EQ(st->primary.symbolCount, 2);
  // Case and prefixes count: all different names.
  EXPECT_EQ(LookupSymbol(*st, "A"), 3);
  EXPECT_EQ(LookupSymbol(*st, "ab"), 4);
  EXPECT_EQ(st->primary.names[4], "ab");
}

TEST(LookupSymbol, RefusesThe101stNameWithoutWriting) {
  auto st = MakeState();
  for (int k = 1; k <= kMaxSymbols; ++k) ASSERT_EQ(LookupSymbol(*st, "s" + std::to_string(k)), k);
  EXPECT_EQ(LookupSymbol(*st, "new"), 0);
  EXPECT_EQ(st->primary.symbolCount, kMaxSymbols);
  EXPECT_EQ(LookupSymbol(*st, "s7"), 7);  // existing names are still found
}

TEST(Banks, RestoreWithoutSaveGivesTheEmptySystem) {
  auto st = MakeState();
  testing::LoadPlain(*st, "ab -> ba\n");
  CopySystem(st->checkpoint, st->primary);
  EXPECT_EQ(st->primary.ruleCount, 0);
  EXPECT_EQ(st->primary.symbolCount, 0);
}

TEST(Banks, CheckpointBringsBackRulesFlagsCountsAndNames) {
  auto st = MakeState();
  testing::LoadPlain(*st, "ab -> ba\nc ->= e\n");
  CopySystem(st->primary, st->checkpoint);
  st->primary.lhs[1][0] = 3;
  st->primary.strict[2] = 1;
  st->primary.ruleCount = 7;
  st->primary.symbolCount = 1;
  st->primary.names[2] = "zz";
  CopySystem(st->checkpoint, st->primary);
  EXPECT_EQ(testing::RuleTexts(st->primary),
            (std::vector<std::string>{"a b  -> b a ", "c  ->= e"}));
  EXPECT_EQ(st->primary.symbolCount, 3);
  EXPECT_EQ(st->primary.names[2], "b");
}

TEST(Banks, CopiesAreWholeIncludingRowsBeyondTheCounts) {
  auto st = MakeState();
  testing::LoadPlain(*st, "ab -> ba\nb -> a\n");
  CopySystem(st->primary, st->checkpoint);
  st->primary.ruleCount = 1;  // rule 2 now lies beyond the count
  CopySystem(st->primary, st->working);
  EXPECT_EQ(st->working.ruleCount, 1);
  EXPECT_EQ(testing::Row(st->working.lhs[2]), (std::vector<int>{2}));
  // The working system equals the primary in every field.
  EXPECT_EQ(st->working.lhs, st->primary.lhs);
  EXPECT_EQ(st->working.rhs, st->primary.rhs);
  EXPECT_EQ(st->working.strict, st->primary.strict);
  EXPECT_EQ(st->working.names, st->primary.names);
}

TEST(HeldCount, RemembersTheLargestValueEverHeld) {
  HeldCount n;
  EXPECT_EQ(n.mark(), 0);
  n = 5;
  --n;
  n = 2;
  EXPECT_EQ(n, 2);
  EXPECT_EQ(n.mark(), 5);
  ++n;
  n += 4;
  EXPECT_EQ(n.mark(), 7);
  HeldCount other = 3;
  other = n;  // a count-only assignment keeps the larger mark of both
  EXPECT_EQ(other, 7);
  n = 0;
  other = n;
  EXPECT_EQ(other, 0);
  EXPECT_EQ(other.mark(), 7);
}

// Copies moved only below the marks must still act as whole copies: the destination
// ends equal to the source in every row, flag and name, whatever both held before.
TEST(Banks, CopiesBelowTheMarksEqualWholeCopies) {
  auto st = MakeState();
  testing::LoadPlain(*st, "abc -> ba\nb ->= cc\nca -> e\nab -> c\n");
  CopySystem(st->primary, st->working);
  st->working.ruleCount = 1;  // rows 2..4 stay beyond the count, and must travel
  st->working.names[7] = "x";
  st->working.symbolCount = 7;
  st->working.symbolCount = 2;
  CopySystem(st->working, st->primary);
  EXPECT_EQ(st->primary.lhs, st->working.lhs);
  EXPECT_EQ(st->primary.rhs, st->working.rhs);
  EXPECT_EQ(st->primary.strict, st->working.strict);
  EXPECT_EQ(st->primary.names, st->working.names);
  EXPECT_EQ(st->primary.ruleCount, 1);
  EXPECT_EQ(st->primary.symbolCount, 2);

  // A never-written checkpoint clears everything the primary system ever held.
  CopySystem(st->checkpoint, st->primary);
  const auto fresh = std::make_unique<RuleSystem>();
  EXPECT_EQ(st->primary.lhs, fresh->lhs);
  EXPECT_EQ(st->primary.rhs, fresh->rhs);
  EXPECT_EQ(st->primary.strict, fresh->strict);
  EXPECT_EQ(st->primary.names, fresh->names);
}

TEST(Banks, BackupRoundTripRestoresEveryRow) {
  auto st = MakeState();
  testing::LoadPlain(*st, "abc -> ba\nb ->= cc\n");
  RuleSystem& w = st->working;
  SaveBackup(w, st->backup);
  const auto before = std::make_unique<RuleSystem>(w);
  w.lhs[1].fill(3);
  w.lhs[1][19] = 0;
  w.strict[2] = 1;
  w.ruleCount = 0;
  RestoreBackup(st->backup, w);
  EXPECT_EQ(w.lhs, before->lhs);
  EXPECT_EQ(w.rhs, before->rhs);
  EXPECT_EQ(w.strict, before->strict);
  EXPECT_EQ(w.ruleCount, 0);  // the backup holds no counts
}

TEST(Banks, EmptySystemCopiesLikeAnyOther) {
  auto st = MakeState();
  testing::LoadPlain(*st, "");
  CopySystem(st->primary, st->snapshot);
  testing::LoadPlain(*st, "a -> b\n");
  CopySystem(st->snapshot, st->primary);
  CopySystem(st->primary, st->working);
  EXPECT_EQ(st->working.ruleCount, 0);
}

// CopyRules moves rules 1..count with their strict flags and nothing else: the rows
// beyond the source's count and the names stay as the destination had them. A scratch
// table (the labelling's copy) takes the same rows and gives them back unchanged.
TEST(Banks, RuleCopiesMoveRulesOneToCountOnly) {
  auto st = MakeState();
  testing::LoadPlain(*st, "abc -> ba\nb ->= cc\nca -> e\nab -> c\n");
  RuleSystem& w = st->working;
  auto src = std::make_unique<RuleSystem>(w);
  src->ruleCount = 2;
  src->lhs[1] = src->lhs[4];
  src->strict[2] = 1;
  src->names[1] = "z";
  const auto before = std::make_unique<RuleSystem>(w);
  CopyRules(*src, w);
  EXPECT_EQ(w.ruleCount, 2);
  EXPECT_EQ(w.lhs[1], src->lhs[1]);
  EXPECT_EQ(w.strict[2], 1);
  for (int i = 3; i <= 4; ++i) {
    EXPECT_EQ(w.lhs[i], before->lhs[i]);
    EXPECT_EQ(w.rhs[i], before->rhs[i]);
  }
  EXPECT_EQ(w.names, before->names);

  State::LabelledCopy& c = st->labelledCopy;
  CopyRuleRows(*before, c, 4);
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(c.lhs[i], before->lhs[i]);
    EXPECT_EQ(c.rhs[i], before->rhs[i]);
    EXPECT_EQ(c.strict[i], before->strict[i]);
  }
  w.ruleCount = 4;
  CopyRuleRows(c, w, 4);
  EXPECT_EQ(w.lhs, before->lhs);
  EXPECT_EQ(w.rhs, before->rhs);
  EXPECT_EQ(w.strict, before->strict);
}

// The find-or-add of the fixed tables, on a plain count: the first equal entry wins, a
// new entry goes right after the count, and a full table takes nothing.
TEST(FindOrAppend, FindsTheFirstEqualEntryAndAppendsUntilFull) {
  std::array<int, 4> table{0, 9, 7, 7};
  int count = 3;  // entries 1..3; index 0 is never used
  EXPECT_EQ(FindOrAppend(table, count, 3, 7), 2);
  EXPECT_EQ(FindOrAppend(table, count, 3, 5), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(table, (std::array<int, 4>{0, 9, 7, 7}));
  count = 2;
  EXPECT_EQ(FindOrAppend(table, count, 3, 5), 3);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(table[3], 5);
  EXPECT_EQ(FindOrAppend(table, count, 3, 0), 0);  // entry 0 is not among 1..count
}

TEST(RandomDraw, FollowsTheLinearCongruentialSequence) {
  auto st = MakeState();
  // state 1 after the first step: (1 * 4) >> 32 = 0; the second state is 134775814.
  EXPECT_EQ(RandomDraw(*st, 4), 0u);
  EXPECT_EQ(st->randomState, 1u);
  EXPECT_EQ(RandomDraw(*st, 4), static_cast<std::uint32_t>((134775814ull * 4) >> 32));
  EXPECT_EQ(st->randomState, 134775814u);
  std::uint32_t s = 134775814u;
  s = s * 134775813u + 1u;
  EXPECT_EQ(RandomDraw(*st, 3), static_cast<std::uint32_t>((std::uint64_t{s} * 3) >> 32));
}

}  // namespace
}  // namespace velkin
