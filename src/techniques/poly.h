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

// A candidate of phases 1 and 3 as the search builds it: every symbol has the rest's
// flags except at most two different symbols, the exceptions. It names the same
// candidate as the flag arrays, in a form whose test does not grow with the alphabet:
// the flag of symbol s is the rest's plus, when s is an exception, its difference.
struct PolyShape {
  int restSuccessor = 0;  // 0 or 1
  int restTimesTen = 0;
  std::array<SymbolId, 2> symbol{};  // the exceptions; 0 for none
  std::array<int, 2> successor{};    // an exception's flag minus the rest's: -1, 0 or 1
  std::array<int, 2> timesTen{};
};

// Writes the shape into the flag arrays of symbols 1..n (nothing else changes).
void ApplyShape(const PolyShape& shape, PolyCandidate& c, int n);

// The rules of one system laid out for testing many candidates: per rule the lengths of
// its sides and, per symbol, its number of occurrences on each side. The search builds
// it once per call and tests every candidate through it. Each test gives the verdict of
// the evaluator of the same name and, when it returns true, the same decrease marks for
// every rule; it visits the rules in an order of its own (the rule that refused the
// last candidate first), so a refusal may leave other marks than the evaluator's.
// Valid while the system's rules stay as they were when it was built.
class PolyRuleTable {
 public:
  explicit PolyRuleTable(const RuleSystem& sys);

  // The shape must describe c's flags (checked in debug builds).
  bool SuccessorSet(PolyCandidate& c, const PolyShape& shape);
  bool AdditiveWeights(PolyCandidate& c);
  bool LinearMix(PolyCandidate& c, const PolyShape& shape);

  // True when some rule refuses, in CheckLinearMix, every candidate whose only
  // times-ten symbol is s, by its multipliers alone: a side with more than five s, or
  // more s in the rhs than in the lhs. Worked out once per symbol.
  bool RefusesTimesTenAlone(SymbolId s);

 private:
  struct CountPair {
    std::uint8_t left = 0;   // occurrences in the lhs
    std::uint8_t right = 0;  // occurrences in the rhs
  };
  using Lengths = CountPair;  // the lengths of both sides
  // A rule's counts where a shape's flags may differ from the rest's: the lengths of its
  // sides and its occurrences of the two exceptions (column 0, all zero, for a missing
  // one). The sums of a flag that is `rest` at every symbol plus delta[e] at exception e,
  // over the lhs, over the rhs, and the first minus the second.
  struct ShapeCounts {
    Lengths length;
    CountPair first;
    CountPair second;
    int Left(int rest, const std::array<int, 2>& delta) const {
      return rest * length.left + delta[0] * first.left + delta[1] * second.left;
    }
    int Right(int rest, const std::array<int, 2>& delta) const {
      return rest * length.right + delta[0] * first.right + delta[1] * second.right;
    }
    int Difference(int rest, const std::array<int, 2>& delta) const {
      return rest * (length.left - length.right) + delta[0] * (first.left - first.right) +
             delta[1] * (second.left - second.right);
    }
  };
  // The table as the tests of one shape read it, copied into each test so that it reads
  // through plain pointers: At(i) is rule i's ShapeCounts.
  struct ShapeRows {
    const CountPair* counts;
    const Lengths* lengths;
    std::size_t width;
    SymbolId first;
    SymbolId second;
    ShapeCounts At(std::int32_t i) const {
      const CountPair* row = counts + static_cast<std::size_t>(i) * width;
      return {lengths[i], row[first], row[second]};
    }
  };
  // The rows for the tests of `shape`, which must describe c's flags.
  ShapeRows RowsFor(const PolyShape& shape, const PolyCandidate& c) const;
  template <typename CompareRule>
  bool Evaluate(PolyCandidate& c, CompareRule compare);
  std::size_t Cell(std::int32_t rule, int s) const {
    assert(s >= 0 && s < width_);
    return static_cast<std::size_t>(rule) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(s);
  }

  const RuleSystem& sys_;
  int width_ = 1;                      // 1 + the largest symbol of the system or its rules
  std::vector<CountPair> counts_;      // occurrences of symbol s in rule i, at Cell(i, s)
  std::vector<Lengths> lengths_;       // per rule
  std::vector<std::int32_t> order_;    // the rules in the order they are visited
  std::vector<std::int8_t> tenAlone_;  // RefusesTimesTenAlone per symbol; -1: not yet known
};

}  // namespace velkin
