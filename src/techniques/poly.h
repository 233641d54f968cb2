// Polynomial interpretations: linear functions from x, x+1, x+c and 10x that remove
// strictly decreasing rules of the working system.
#pragma once

#include <array>
#include <cstdint>

#include "model/state.h"

namespace velkin {

// One candidate interpretation and the outcome of its test.
struct PolyCandidate {
  std::array<std::uint8_t, kMaxSymbols + 2> successor{};  // 1: symbol is x + 1
  std::array<std::uint8_t, kMaxSymbols + 2> timesTen{};   // 1: symbol is 10x
  std::array<std::int32_t, kMaxSymbols + 2> weight{};     // phase 2 constant; n+1 = stop digit
  std::uint8_t reversed = 0;                               // CheckLinearMix reads reversed
  std::array<std::uint8_t, kMaxRules + 1> decrease{};     // 1: rule strictly decreases
  std::uint8_t found = 0;                                  // a candidate was accepted
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

}  // namespace velkin
