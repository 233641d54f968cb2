// Loop search by closures: pairs (s, t) with s ->+ t, grown from the rules by overlaps
// with a rule l -> r, smallest first and without duplicates, until some s is a factor of
// its t by a derivation with a strict step.
#pragma once

#include <cstddef>

#include "strong/loop.h"
#include "strong/technique.h"

namespace velkin::strong {

// The ways a pair (s, t) combines with a rule l -> r.
enum Overlap : unsigned {
  kInside = 1,      // t = x l y gives (s, x r y)
  kRight = 2,       // t = x l1, l = l1 l2 (l1, l2 not empty) gives (s l2, x r)
  kLeft = 4,        // t = l2 y, l = l1 l2 (l1, l2 not empty) gives (l1 s, r y)
  kContaining = 8,  // l = x t y (x y not empty) gives (x s y, r)
  kAllOverlaps = 15,
};

struct ClosureOptions {
  bool reversed = false;  // search on R^rev / S^rev and translate the loop back
  // Forward closures (inside and right overlaps) by default: run on R and on R^rev, they
  // find more loops in the same time than all four overlaps in one search.
  unsigned overlaps = kInside | kRight;
  // Pairs are taken in the order of startWeight * |s| + |t|: a loop needs a short start
  // word far more than a short end word.
  std::size_t startWeight = 4;
  std::size_t memoryBytes = std::size_t{448} << 20;  // the pairs kept, roughly
  std::size_t maxPairLength = 4096;                  // |s| + |t| of a kept pair
};

// Searches a loop of the relative problem `p` (strict rules R, weak rules S; dependency
// pair problems get Nothing). Guarantees: a Loop result's witness is a derivation of `p`
// itself (translated back when reversed) that the caller re-checks; Nothing when the
// budget, the memory or the closures run out (the note says which).
Result FindLoopByClosures(const Problem& p, const Budget& budget, const ClosureOptions& options);

}  // namespace velkin::strong
