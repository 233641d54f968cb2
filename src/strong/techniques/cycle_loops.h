// Loop search by cycles among the words of one length: the rules whose two sides have
// the same length map the words of length n to words of length n, a finite graph, and a
// cycle of it through a strict step is a loop u ->+ u. For n = 1, 2, ... every word of
// length n over the letters of those rules is a node; a depth-first search (Tarjan's)
// finds a strict edge inside a strongly connected component, and a path back closes it.
//
// Soundness: every edge is one step of a rule of the problem at one position, so the
// cycle is a derivation u ->+ u with a strict step, a loop with p = q = ε; the witness
// is replayed against the problem's rules before it is accepted.
// Completeness, for what it is worth to the reader: when no rule makes a word longer, an
// infinite derivation with infinitely many strict steps ends among words of one length,
// where it repeats a word; so "no cycle at length n" means no word of length at most n
// starts one. Loops that need a longer word, or a rule that changes the length, are left
// to the other searches.
#pragma once

#include <cstddef>
#include <vector>

#include "strong/technique.h"
#include "strong/techniques/byte_words.h"

namespace velkin::strong {

struct CycleLoopOptions {
  // The search of one length holds about 9 bytes per word of that length and its
  // stacks; it stops before a length whose words would not fit.
  std::size_t memoryBytes = std::size_t{192} << 20;
  std::size_t maxLength = 64;  // the longest words searched
};

// The rules of `rules` that a cycle among words of one length may use: those whose sides
// have one length (not empty), less every rule that changes the number of some letter
// a where no rule left changes it the other way (around a cycle the changes of every
// letter's number add up to zero, so such a rule is never used), until no more go.
std::vector<SearchRule> CycleRules(std::vector<SearchRule> rules);

// Searches a loop of the relative problem `p` among words of one length (dependency pair
// problems get Nothing; so does a problem where CycleRules keeps no strict rule). Guarantees: a
// Loop result's witness is a derivation of `p` that the caller re-checks; Nothing when the budget
// or the memory ends first, or every length up to maxLength was searched (the note says which).
Result FindLoopByCycles(const Problem& p, const Budget& budget, const CycleLoopOptions& options);

}  // namespace velkin::strong
