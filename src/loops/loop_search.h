// The search for a looping derivation with ancestor graphs.
#pragma once

#include <array>
#include <cstdint>

#include "model/state.h"

namespace velkin {

// Capacities of one search.
inline constexpr int kMaxLoopWords = 100;                       // words in the table
inline constexpr int kMaxLoopRules = kMaxLoopWords;             // one word per rule at start
inline constexpr int kMaxCandidateLength = 2 * kMaxSideLength;  // before the length test

// The words collected by one search and the direct-ancestor relation between them.
// Entry (a, w) is set when word a rewrites in one step to a word that contains word w;
// strictEntry (a, w) is set when a strict rule did so at least once.
struct AncestorTable {
  std::array<SymbolString, kMaxLoopWords + 1> words;  // words 1..wordCount, zero-filled rows
  std::int32_t wordCount = 0;
  std::array<std::array<std::uint8_t, kMaxLoopWords + 1>, kMaxLoopWords + 1> entry{};
  std::array<std::array<std::uint8_t, kMaxLoopWords + 1>, kMaxLoopWords + 1> strictEntry{};
};

// Examines the primary system; on a loop sets the loop flag, cuts the log back to the
// head and appends the line naming the word. A loop needs a cycle of ancestors that
// uses at least one strict rule, so a relative system whose only cycles use weak rules
// reports nothing. Gives up without a loop on more than 100 rules or when time is up.
void SearchLoop(State& st);

// Fills the table with the left-hand sides of the primary system and their direct
// ancestors, pass by pass until a pass adds no word. False, with the table unusable,
// when the system has more than 100 rules or time is up.
bool CollectAncestors(State& st, AncestorTable& table);

// The smallest word that starts an endless chain of direct ancestors running into a
// cycle with a strict entry; 0 when there is none. Reads only the table.
int FindLoopingWord(const AncestorTable& t);

}  // namespace velkin
