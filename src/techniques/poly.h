// Polynomial interpretations: linear functions from x, x+1, x+c and 10x that remove
// strictly decreasing rules of the working system.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/state.h"

namespace velkin {

// One candidate interpretation and the outcome of its test.
struct PolyCandidate {
  std::array<std::uint8_t, kMaxSymbols + 2> successor{};  // 1: symbol is x + 1
  std::array<std::uint8_t, kMaxSymbols + 2> timesTen{};   // 1: symbol is 10x
  std::array<std::int32_t, kMaxSymbols + 2> weight{};     // phase 2 constant; n+1 = stop digit
  std::uint8_t reversed = 0;                              // CheckLinearMix reads reversed
  std::array<std::uint8_t, kMaxRules + 1> decrease{};     // 1: rule strictly decreases
  std::uint8_t found = 0;                                 // a candidate was accepted
};

// Removes rules by polynomial interpretations until none applies, then gives the
// verdict: sets the proved flag when no strict rule remains, else (report flag set)
// lists the remaining rules.
void ReduceAndReport(State& st);

// One search over the ordered candidates; true when one was accepted and at least one
// rule removed. Deterministic: depends on the working system only.
bool TryPolynomialInterpretation(State& st);

// The evaluators: mark each rule 1 (decreasing) or 0 (equal), false on an increase,
// an overflow, or when nothing decreases.
bool CheckSuccessorSet(const State& st, PolyCandidate& c);
bool CheckAdditiveWeights(const State& st, PolyCandidate& c);
bool CheckLinearMix(const State& st, PolyCandidate& c);

// The rules of one system laid out for testing many candidates: per rule the symbols
// that occur in it with their number of occurrences on each side. The search builds it
// once per call and tests every candidate through it. Each test gives the verdict of
// the evaluator of the same name and, when it returns true, the same decrease marks
// for every rule; it visits the rules in an order of its own (the rule that refused
// the last candidate first), so a refusal may leave other marks than the evaluator's.
// Valid while the system's rules stay as they were when it was built.
class PolyRuleTable {
 public:
  explicit PolyRuleTable(const RuleSystem& sys);

  bool SuccessorSet(PolyCandidate& c);
  bool AdditiveWeights(PolyCandidate& c);
  bool LinearMix(PolyCandidate& c);

 private:
  struct Occurrence {
    SymbolId symbol;
    std::uint8_t left;   // occurrences in the lhs
    std::uint8_t right;  // occurrences in the rhs
  };
  template <typename CompareRule>
  bool Evaluate(PolyCandidate& c, CompareRule compare);

  const RuleSystem& sys_;
  std::vector<Occurrence> occurrences_;  // rule i: [first_[i], first_[i + 1])
  std::vector<std::int32_t> first_;
  std::vector<std::int32_t> order_;  // the rules in the order they are visited
};

}  // namespace velkin
