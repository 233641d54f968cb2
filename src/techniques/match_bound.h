// Match bounds on the right-hand sides of forward closures, proved by an automaton.
#pragma once

#include <array>
#include <cstdint>

#include "model/state.h"

namespace velkin {

// Capacities of the automaton. A completion step that passes the growth limit still
// finishes the chain it began (at most one side long), so the transition room holds
// the 1000 transitions of an initial automaton plus one more chain.
inline constexpr int kMatchTransitions = 1000;  // transitions an initial automaton may use
inline constexpr int kMatchGrowthLimit = 800;   // failed once a step begins above it
inline constexpr int kMatchTransitionRoom = kMatchTransitions + kMaxSideLength;
inline constexpr int kMatchStateRoom = kMatchTransitionRoom + 1;  // a chain of k adds k-1 states
inline constexpr int kMaxRedexPaths = 50;                         // per rule and start state

// The automaton of one attempt. States and transitions are numbered from 1; state 1 is
// initial, state 2 final. The transitions leaving a state form a list in order of
// creation, threaded through `next` (0 ends it).
struct MatchAutomaton {
  std::int32_t stateCount = 0;
  std::int32_t transitionCount = 0;
  std::array<std::int32_t, kMatchStateRoom + 1> first{};  // first transition of a state
  std::array<SymbolId, kMatchTransitionRoom + 1> symbol{};
  std::array<std::int32_t, kMatchTransitionRoom + 1> target{};
  std::array<std::int32_t, kMatchTransitionRoom + 1> next{};
  std::array<std::int32_t, kMatchTransitionRoom + 1> height{};
  std::int32_t bound = 0;  // largest height a completion step has asked for
  bool failed = false;     // a limit was exceeded or time ran out: no proof

  // Redex paths of the rule and state being completed: transition numbers, 0 ends each.
  std::int32_t pathCount = 0;
  std::array<std::array<std::int32_t, kMaxSideLength + 1>, kMaxRedexPaths> paths{};
};

// Tries a match-bound proof of the primary system; on success sets the proved flag and
// appends the automaton. Gives up without a proof on systems that do not fit or that
// have no rule or an empty side.
void TryMatchBound(State& st);

// The steps of an attempt, for callers that drive them one by one.

// True when the primary system fits an attempt: at least one rule, no empty side, room
// for the end marker, its rules and the initial automaton.
bool MatchBoundFits(const RuleSystem& sys);

// Appends a transition from state `from` at the tail of its list and returns its number.
// The caller guarantees room (the fit test and the growth limit keep it) and that both
// states exist.
int AddTransition(MatchAutomaton& a, int from, SymbolId sym, int to, int h);

// Adds the end marker "#" and the end-marker rules to the working system (a copy of the
// primary system that fits) and builds the automaton that accepts every rhs followed
// by end markers.
void BuildInitialAutomaton(State& st, MatchAutomaton& a);

// Stores the paths from state q that read the lhs of working rule r, in the order of the
// state lists; sets failed on a 51st path and stops. Clears the table first.
void EnumerateRedexPaths(State& st, MatchAutomaton& a, int r, int q);

// Makes the rhs of working rule r readable from q to the end of `path` with height one
// above the smallest on the path, adding one transition or a chain when needed.
void CompleteRedex(State& st, MatchAutomaton& a, int r, int q, const std::int32_t* path);

// True when, from state `start`, the rhs of working rule r from position d0 (1-based)
// on can be read on transitions of height h whose last leads to state p.
bool FindRhsPath(State& st, const MatchAutomaton& a, int r, int h, int p, int d0, int start);

// The completion passes: until a pass adds no transition or the attempt fails.
void CompleteAutomaton(State& st, MatchAutomaton& a);

}  // namespace velkin
