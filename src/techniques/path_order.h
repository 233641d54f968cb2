// Recursive path order with a greedily collected precedence.
#pragma once

#include <array>
#include <cstdint>

#include "model/state.h"

namespace velkin {

// Entry (a, b) = 1: a > b is required. Symbols 1..100.
using PrecedenceMatrix = std::array<std::array<std::uint8_t, kMaxSymbols + 1>, kMaxSymbols + 1>;

// Attempts as written, reversed, then with each symbol erased; sets the proved flag on
// success. The working system's rules and strict flags are as on entry afterwards.
void PathOrderSearch(State& st);

// Appends the proof of the last successful attempt.
void PrintPathOrderProof(State& st);

// TryPathOrder as written, then reversed if that failed.
void TryPathOrderBothWays(State& st);

// One attempt on the working system as it stands; sets the proved flag on success.
void TryPathOrder(State& st);

// Walks the rules and collects the required pairs; false when a rule can't be oriented.
bool CollectPrecedence(State& st, PrecedenceMatrix& m);

}  // namespace velkin
