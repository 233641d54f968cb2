// The polynomial search's rule table against the plain evaluators: on random systems
// and candidates it must give the same verdicts, and the same marks on acceptance,
// whatever order its earlier refusals have put the rules in.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "../test_util.h"
#include "techniques/poly.h"

namespace velkin {
namespace {

// A random system over `symbols` symbols: sides of 0..maxLength symbols, drawn so that
// long runs of one symbol (six times ten and more) and equal sides both occur.
void RandomSystem(State& st, std::mt19937& rng, int symbols, int rules, int maxLength) {
  RuleSystem& w = st.working;
  w.symbolCount = symbols;
  w.ruleCount = rules;
  std::uniform_int_distribution<int> symbol(1, symbols);
  std::uniform_int_distribution<int> length(0, maxLength);
  for (int i = 1; i <= rules; ++i) {
    for (SymbolString* side : {&w.lhs[i], &w.rhs[i]}) {
      side->fill(0);
      const int n = length(rng);
      const int favourite = symbol(rng);
      for (int p = 0; p < n; ++p)
        (*side)[p] = static_cast<SymbolId>(rng() % 2 ? favourite : symbol(rng));
    }
    if (rng() % 5 == 0) w.rhs[i] = w.lhs[i];
    w.strict[i] = static_cast<std::uint8_t>(rng() % 2);
  }
}

PolyShape RandomShape(std::mt19937& rng, int symbols) {
  PolyShape shape;
  shape.restSuccessor = static_cast<int>(rng() % 2);
  shape.restTimesTen = static_cast<int>(rng() % 2);
  const int exceptions = static_cast<int>(rng() % 3);
  for (int e = 0; e < exceptions && e < symbols; ++e) {
    int s = 0;
    do {
      s = 1 + static_cast<int>(rng() % static_cast<unsigned>(symbols));
    } while (e == 1 && s == shape.symbol[0]);
    shape.symbol[e] = static_cast<SymbolId>(s);
    shape.successor[e] = static_cast<int>(rng() % 2) - shape.restSuccessor;
    shape.timesTen[e] = static_cast<int>(rng() % 2) - shape.restTimesTen;
  }
  return shape;
}

// Same verdict, and on acceptance the same mark for every rule.
void ExpectSameOutcome(bool tableVerdict, const PolyCandidate& fromTable, bool plainVerdict,
                       const PolyCandidate& fromPlain, int rules, const std::string& where) {
  ASSERT_EQ(tableVerdict, plainVerdict) << where;
  if (!plainVerdict) return;
  for (int i = 1; i <= rules; ++i) ASSERT_EQ(fromTable.decrease[i], fromPlain.decrease[i]) << where;
}

TEST(PolyRuleTable, AgreesWithThePlainEvaluatorsOnRandomCandidates) {
  std::mt19937 rng(20261208);
  int accepted = 0;
  for (int system = 0; system < 300; ++system) {
    auto st = MakeState();
    const int symbols = 1 + system % 5;
    const int rules = system % 7;  // 0 rules too: never accepted
    RandomSystem(*st, rng, symbols, rules, system % 3 == 0 ? 12 : 5);
    PolyRuleTable table(st->working);  // one table for all candidates, as in the search
    for (int trial = 0; trial < 40; ++trial) {
      const std::string where =
          "system " + std::to_string(system) + ", trial " + std::to_string(trial);
      const PolyShape shape = RandomShape(rng, symbols);
      PolyCandidate plain;
      ApplyShape(shape, plain, symbols);
      plain.reversed = static_cast<std::uint8_t>(rng() % 2);
      PolyCandidate viaTable = plain;

      const bool mix = CheckLinearMix(*st, plain);
      ExpectSameOutcome(table.LinearMix(viaTable, shape), viaTable, mix, plain, rules, where);
      if (shape.restTimesTen == 0 && shape.timesTen == std::array<int, 2>{0, 0}) {
        const bool set = CheckSuccessorSet(*st, plain);
        ExpectSameOutcome(table.SuccessorSet(viaTable, shape), viaTable, set, plain, rules, where);
        accepted += set ? 1 : 0;
      }
      PolyCandidate weights;
      for (int s = 1; s <= symbols; ++s) weights.weight[s] = static_cast<std::int32_t>(rng() % 4);
      PolyCandidate weightsViaTable = weights;
      const bool additive = CheckAdditiveWeights(*st, weights);
      ExpectSameOutcome(table.AdditiveWeights(weightsViaTable), weightsViaTable, additive, weights,
                        rules, where);
      accepted += (mix ? 1 : 0) + (additive ? 1 : 0);
    }
  }
  EXPECT_GT(accepted, 100);  // the draws reach acceptance, not only refusals
}

TEST(PolyRuleTable, LoneTimesTenRefusalHoldsForEveryCandidateOfThatSymbol) {
  std::mt19937 rng(7);
  int refusedSymbols = 0;
  for (int system = 0; system < 200; ++system) {
    auto st = MakeState();
    const int symbols = 1 + system % 4;
    RandomSystem(*st, rng, symbols, 1 + system % 5, 9);
    PolyRuleTable table(st->working);
    for (int s = 1; s <= symbols; ++s) {
      if (!table.RefusesTimesTenAlone(static_cast<SymbolId>(s))) continue;
      ++refusedSymbols;
      // Every flag choice for the other symbols, both readings: all refused.
      for (unsigned bits = 0; bits < (1u << symbols); ++bits) {
        for (int reversed = 0; reversed <= 1; ++reversed) {
          PolyCandidate c;
          for (int x = 1; x <= symbols; ++x) c.successor[x] = (bits >> (x - 1)) & 1u;
          c.successor[s] = bits & 1u;  // s may also be a successor
          c.timesTen[s] = 1;
          c.reversed = static_cast<std::uint8_t>(reversed);
          EXPECT_FALSE(CheckLinearMix(*st, c)) << "system " << system << ", symbol " << s;
        }
      }
    }
  }
  EXPECT_GT(refusedSymbols, 50);
}

TEST(PolyRuleTable, SymbolsBeyondTheRulesCountAsAbsent) {
  // Symbol 3 occurs in no rule: as an exception it changes nothing.
  auto st = MakeState();
  testing::LoadPlain(*st, "ab -> b\nc ->= c\n");
  st->working.ruleCount = 1;  // a b -> b alone, symbols a, b, c
  PolyRuleTable table(st->working);
  PolyShape shape;
  shape.symbol = {3, 0};
  shape.successor = {1, 0};
  PolyCandidate c;
  ApplyShape(shape, c, 3);
  EXPECT_FALSE(table.SuccessorSet(c, shape));  // 0 against 0
  shape.symbol = {3, 1};
  shape.successor = {1, 1};
  ApplyShape(shape, c, 3);
  EXPECT_TRUE(table.SuccessorSet(c, shape));  // a counts: 1 against 0
  EXPECT_EQ(c.decrease[1], 1);
}

}  // namespace
}  // namespace velkin
