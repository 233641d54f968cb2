// Sparse tiling of width k on the right-hand sides of forward closures, for standard
// problems whose left sides are all non-empty.
//
// Why it is sound. RFC(R), the right-hand sides of forward closures, is the least set of
// words that holds every right side r, holds u' when it holds u and u ->R u', and holds
// x r when it holds x l1 for a rule l1 l2 -> r with l1, l2 not empty. R terminates if no
// infinite derivation starts in RFC(R) (for string rewriting with non-empty left sides,
// as the match bounds on forward closures use it too). Pad a word u as ⊢^(k-1) u #^(k-1)
// and call its factors of length k the tiles of u. A set T of tiles is closed when
//   - it holds the tiles of every right side,
//   - for every rule l -> r and every word c l y whose k-factors are all in T, with
//     c in ⊢^i Σ^(k-1-i) (a left context of a padded word) and y in Σ^j #^(k-1-j) (a right
//     one), the k-factors of c r y are in T,
//   - likewise for c l1 #^(k-1) and c r #^(k-1), l = l1 l2 with l1, l2 not empty.
// By induction on the closure, every word of RFC(R) then has its tiles in T: the tiles
// of a step's result that overlap the new right side lie in c r y, where c and y are the
// k - 1 symbols on either side of the redex, and all others were tiles before.
// Labelling every letter of a padded word by the tile that ends at it (the letter with
// the k - 1 symbols before it), a step x l z -> x r z is a step of the labelled rule
// lab(c l y) -> lab(c r y) (the labels of c do not change; those of y do, but only
// through the k - 1 letters behind them, which the rule holds). The labelled problem R_T
// has these rules for every such c l y in T, so an infinite derivation from RFC(R) is one
// of R_T: SN(R_T) implies SN(R). Only this way round, so the step keeps no loops; a
// certifier has no form for it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "strong/technique.h"

namespace velkin::strong {

struct SparseTilingOptions {
  int width = 3;  // k, at least 2
  // Give up above this many tiles, labelled rules, or letters in all their sides: the
  // steps after it (dependency pairs and their graph) grow with the labelled problem.
  // The corpus's one-rule systems have at most 153 labelled rules up to width 4.
  std::size_t maxTiles = 3000;
  std::size_t maxRules = 1000;
  std::size_t maxLetters = 50'000;
};

// The tiles of a sparse tiling: tiles[t] is letter t of the labelled problem. A tile
// holds letters of the problem and the two border symbols below.
class SparseTilingWitness : public Witness {
 public:
  int width = 0;
  std::vector<Word> tiles;

  // The border symbols inside a tile, for a problem of `letters` letters.
  static Symbol LeftBorder(int letters) { return letters; }
  static Symbol EndMarker(int letters) { return letters + 1; }

  std::string Technique() const override { return "sparse tiling"; }
  // Holds when `before` is standard with non-empty left sides, every tile has the form
  // ⊢^i u #^j of length width (u over the problem's letters, distinct tiles), the tiles
  // are closed as above, and the one subproblem is standard, has one unmarked letter
  // per tile with distinct names, and holds exactly the labelled rules of every
  // occurrence c l y in the tiles.
  std::string Recheck(const Problem& before, const std::vector<Problem>& after) const override;
  // Why the step holds, and every tile with the letter that stands for it.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
};

// The sparse tiling of width `options.width` of the standard problem `p`, with the
// labelled problem as its one subproblem; Nothing (with a note) for other problems, an
// empty left side, or when a limit or the budget is reached.
Result SparseTiling(const Problem& p, const Budget& budget, const SparseTilingOptions& options);

}  // namespace velkin::strong
