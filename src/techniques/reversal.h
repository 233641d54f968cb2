// Reversal of every rule, and the dependency pair transformation.
#pragma once

#include "model/state.h"

namespace velkin {

// Reverses lhs and rhs of every working rule in place; writes nothing.
void ReverseWorkingSystem(State& st);

// Reverses every primary rule through the working system: afterwards both systems hold
// the reversed primary rows and the primary rule count. Strict flags, names and symbol
// counts of both systems stay as they were (labelling keeps its labelled names in the
// working system across a reversal). Writes nothing.
void ReversePrimaryRules(State& st);

// Appends the three lines that announce a reversal: an empty line, "Reverse every lhs
// and rhs of the system.", an empty line.
void AppendReversalLines(State& st);

// Replaces the primary system R by DP(R)/R: marked symbols for the defined symbols,
// one strict pair per defined symbol occurrence in a rhs, the old rules weak.
// Returns false, and leaves the primary system untouched, when a lhs is empty or the
// result would not fit (more than 100 symbols or 1000 rules).
bool DependencyPairTransform(State& st);

// Appends "Dependency pair transformation:" and every working rule after two blanks.
void PrintDependencyPairs(State& st);

}  // namespace velkin
