// Recursive path order: the greedy walk, the cycle test, the order of the attempts
// and the proof lines.
#include "techniques/path_order.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "../test_util.h"

namespace velkin {
namespace {

using Lines = std::vector<std::string>;
using testing::LoadPlain;
using testing::LogLines;

// Runs the search; on success returns the proof lines, otherwise no lines. Checks
// that the working rules and strict flags come back unchanged either way.
Lines SearchAndPrint(State& st) {
  const RuleSystem before = st.working;
  st.proved = 0;
  PathOrderSearch(st);
  EXPECT_EQ(st.working.lhs, before.lhs);
  EXPECT_EQ(st.working.rhs, before.rhs);
  EXPECT_EQ(st.working.strict, before.strict);
  EXPECT_EQ(st.working.ruleCount, before.ruleCount);
  if (!st.proved) return {};
  st.log.length = 0;
  PrintPathOrderProof(st);
  return LogLines(st);
}

Lines Proof(const std::string& text) {
  auto st = MakeState();
  LoadPlain(*st, text);
  return SearchAndPrint(*st);
}

const char kHeading[] = "Terminating by recursive path order with precedence:";

TEST(PathOrderSearch, SwapRuleNeedsAOverB) {
  // a b against b a: heads differ, so a > b; then a against a, rhs used up.
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\n");
  EXPECT_EQ(SearchAndPrint(*st), (Lines{"", kHeading, "  a>b"}));
  EXPECT_EQ(st->pathOrderReversed, 0);
}

TEST(PathOrderSearch, EachPairIsListedOnceInOrderOfFirstNeed) {
  // Rule 3 needs a > b twice more and adds nothing to the text.
  EXPECT_EQ(Proof("ab -> ba\nbc -> cb\nab -> bba\n"), (Lines{"", kHeading, "  a>b  b>c"}));
}

TEST(PathOrderSearch, SubwordsOfTheLhsTailNeedNoPair) {
  // c is a subword of b c, b c d of b x c y d: both settled by the subterm property;
  // a rule with an empty rhs is oriented without a pair.
  EXPECT_EQ(Proof("abc -> c\naxcyd -> xcd\nb -> e\n"), (Lines{"", kHeading, ""}));
}

TEST(PathOrderSearch, EmptySystemSucceedsAtOnce) {
  EXPECT_EQ(Proof(""), (Lines{"", kHeading, ""}));
}

TEST(PathOrderSearch, ReversedSuccessHasTheTwoLineHeading) {
  // As written rule 1 needs a > b and rule 2 b > a: a cycle. Reversed, b a -> a b
  // needs b > a, and c b -> b a needs c > b and then c > a.
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\nbc -> ab\n");
  EXPECT_EQ(SearchAndPrint(*st),
            (Lines{"", "Terminating since rev(l) > rev(r) for all rules l -> r",
                   "where > is the recursive path order with precedence:", "  b>a  c>b  c>a"}));
  EXPECT_EQ(st->pathOrderReversed, 1);
}

TEST(PathOrderSearch, ErasingOneSymbolCanBeWhatSucceeds) {
  // a = 1, c = 2, b = 3. Both ways a -> c needs a > c and c b c -> a needs c > a.
  // Erasing a leaves the strict rule e -> c. Erasing c leaves a -> e and b -> a.
  auto st = MakeState();
  LoadPlain(*st, "a -> c\ncbc -> a\n");
  EXPECT_EQ(SearchAndPrint(*st), (Lines{"", kHeading, "  b>a, after removing c"}));
  EXPECT_EQ(st->pathOrderReversed, 0);
}

TEST(PathOrderSearch, ErasingStartsFromTheRulesAtEntryEachTime) {
  // a = 1, x = 2, b = 3, y = 4. Two weak cycles, a with x and b with y: erasing any
  // one symbol leaves one of them. Erasing a and then b on top would succeed.
  EXPECT_TRUE(Proof("ax ->= xa\nxa ->= ax\nby ->= yb\nyb ->= by\n").empty());
  // a ->= a b runs out of lhs both ways, erasing a leaves e ->= b, erasing b leaves
  // the identical weak a ->= a: no pair, only the erased symbol is named.
  EXPECT_EQ(Proof("a ->= ab\n"), (Lines{"", kHeading, ", after removing b"}));
}

TEST(PathOrderSearch, CycleInEveryAttemptFails) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\nba -> ab\n");
  EXPECT_TRUE(SearchAndPrint(*st).empty());
  EXPECT_EQ(st->proved, 0);
}

TEST(PathOrderSearch, RulesThatCannotBeOriented) {
  EXPECT_TRUE(Proof("ab -> ab\n").empty());  // strict, equal sides
  EXPECT_TRUE(Proof("-> a\n").empty());      // strict, empty lhs (erasing a: e -> e)
  EXPECT_TRUE(Proof("a -> aab\n").empty());  // lhs used up while the rhs goes on
  auto weakFromEmpty = MakeState();          // e ->= a, and a -> b to keep a symbol
  LoadPlain(*weakFromEmpty, "->= a\nab -> b\n");
  EXPECT_TRUE(SearchAndPrint(*weakFromEmpty).empty());
}

TEST(PathOrderSearch, IdenticalWeakRulesAreIgnoredOthersMustDecrease) {
  EXPECT_EQ(Proof("ab ->= ab\n->= e\nab -> ba\n"), (Lines{"", kHeading, "  a>b"}));
  // A weak rule with different sides is oriented strictly, like a strict one.
  EXPECT_EQ(Proof("ba ->= ab\nab -> b\n"), (Lines{"", kHeading, "  b>a"}));
}

TEST(PathOrderSearch, GivesUpTheErasedAttemptsWhenTimeIsUp) {
  auto st = MakeState();
  LoadPlain(*st, "a -> c\ncbc -> a\n");  // needs c erased, see above
  st->cancelled = true;
  EXPECT_TRUE(SearchAndPrint(*st).empty());
}

TEST(PathOrderSearch, AFailedSearchLeavesTheLastAttemptsWholeText) {
  // a = 1, b = 2, c = 3, d = 4, f = 5. Every attempt meets the cycle of rules 1 and 2;
  // the last one (reversed, f erased) goes on to require d > c in rule 3.
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\nba -> ab\ncdf -> fdc\n");
  EXPECT_TRUE(SearchAndPrint(*st).empty());
  EXPECT_EQ(st->precedenceText, "  b>a  a>b  d>c, after removing f");
  EXPECT_EQ(st->pathOrderReversed, 1);
}

// The search as the attempts are defined: the rows themselves erased and reversed, each
// attempt walked to its end.
void ReferenceSearch(State& st) {
  TryPathOrderBothWays(st);
  if (st.proved) return;
  const RuleSystem entry = st.working;
  for (int d = 1; !st.proved && d <= entry.symbolCount; ++d) {
    for (int k = 1; k <= entry.ruleCount; ++k) {
      for (auto [from, to] : {std::pair{&entry.lhs[k], &st.working.lhs[k]},
                              std::pair{&entry.rhs[k], &st.working.rhs[k]}}) {
        SymbolString row{};
        int q = 0;
        for (int p = 0; (*from)[p] != 0; ++p)
          if ((*from)[p] != d) row[q++] = (*from)[p];
        *to = row;
      }
    }
    TryPathOrderBothWays(st);
    st.precedenceText += ", after removing " + entry.names[d];
  }
  st.working = entry;
}

TEST(PathOrderSearch, AgreesWithTheAttemptsAsDefinedOnRandomSystems) {
  std::mt19937 random(15);
  const std::string letters = "abcdfg";
  int proved = 0;
  for (int round = 0; round < 3000; ++round) {
    const int symbols = 2 + static_cast<int>(random() % 5);
    std::string text;
    const int rules = 1 + static_cast<int>(random() % 7);
    for (int k = 0; k < rules; ++k) {
      auto side = [&] {
        std::string s;
        for (int n = static_cast<int>(random() % 6); n > 0; --n) s += letters[random() % symbols];
        return s.empty() ? std::string("e") : s;
      };
      const std::string l = side();
      text += (l == "e" && random() % 4 != 0 ? std::string("a") : l) +
              (random() % 3 == 0 ? " ->= " : " -> ") + side() + "\n";
    }
    auto fast = MakeState();
    auto slow = MakeState();
    LoadPlain(*fast, text);
    LoadPlain(*slow, text);
    PathOrderSearch(*fast);
    ReferenceSearch(*slow);
    ASSERT_EQ(fast->proved, slow->proved) << text;
    ASSERT_EQ(fast->pathOrderReversed, slow->pathOrderReversed) << text;
    ASSERT_EQ(fast->precedenceText, slow->precedenceText) << text;
    ASSERT_EQ(fast->working.lhs, slow->working.lhs) << text;
    ASSERT_EQ(fast->working.rhs, slow->working.rhs) << text;
    proved += fast->proved;
  }
  EXPECT_GT(proved, 300);  // both outcomes are well represented
  EXPECT_LT(proved, 2700);
}

TEST(TryPathOrder, RefusesMoreSymbolsThanTheTableHolds) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\n");
  st->working.symbolCount = kMaxSymbols + 1;
  TryPathOrder(*st);
  EXPECT_EQ(st->proved, 0);
  PathOrderSearch(*st);
  EXPECT_EQ(st->proved, 0);
}

TEST(TryPathOrder, CycleTestRemovesSinksInPasses) {
  // A chain a > b > c with a = 1 loses one sink per pass: c, then b, then a.
  auto chain = MakeState();
  LoadPlain(*chain, "a -> b\nb -> c\nc -> e\n");
  TryPathOrder(*chain);
  EXPECT_EQ(chain->proved, 1);
  EXPECT_EQ(chain->precedenceText, "  a>b  b>c");

  auto cycle = MakeState();
  LoadPlain(*cycle, "a -> b\nb -> c\nc -> a\n");
  TryPathOrder(*cycle);
  EXPECT_EQ(cycle->proved, 0);
  EXPECT_EQ(cycle->precedenceText, "  a>b  b>c  c>a");
}

TEST(CollectPrecedence, StopsAtTheFirstRuleThatCannotBeOriented) {
  auto st = MakeState();
  LoadPlain(*st, "b -> a\na -> a\nab -> ba\n");  // b = 1, a = 2
  PrecedenceMatrix m{};
  st->precedenceText.clear();
  EXPECT_FALSE(CollectPrecedence(*st, m));
  EXPECT_EQ(st->precedenceText, "  b>a");
  EXPECT_EQ(m[1][2], 1);
  EXPECT_EQ(m[2][1], 0);  // rule 3 would need a > b, but is never walked
}

TEST(PrintPathOrderProof, WritesThePrecedenceTextAsItStands) {
  auto st = MakeState();
  st->precedenceText = "  x>y";
  st->pathOrderReversed = 0;
  PrintPathOrderProof(*st);
  st->pathOrderReversed = 1;
  PrintPathOrderProof(*st);
  EXPECT_EQ(
      LogLines(*st),
      (Lines{"", kHeading, "  x>y", "", "Terminating since rev(l) > rev(r) for all rules l -> r",
             "where > is the recursive path order with precedence:", "  x>y"}));
}

}  // namespace
}  // namespace velkin
