// A plan for computing the products of many words in a monoid (matrices of letters) with
// few binary products: a straight-line program whose first nodes are the letters and
// whose every further node is the product of two earlier nodes. Factors that occur in
// several places (or several times in one side) are built once, wherever in the words
// they stand: pairs that occur at least twice are replaced by a node of their own, in
// rounds, until no pair repeats; what is left of each word is then multiplied from the
// left, sharing common prefixes.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "strong/problem.h"

namespace velkin::strong {

struct ProductPlan {
  struct Node {
    int left, right;  // earlier nodes; the node stands for left · right
  };
  int letters = 0;          // nodes 0 .. letters-1 are the letters themselves
  std::vector<Node> nodes;  // node letters + k is nodes[k]; left, right < letters + k
  // By word given: its node, or nullopt for the empty word.
  std::vector<std::optional<int>> words;

  // The number of binary products the plan takes.
  std::size_t Products() const { return nodes.size(); }
  // Whether node n is a letter.
  bool IsLetter(int n) const { return n < letters; }
};

// A plan for `words` over letters 0 .. letters-1. Guarantees: every node's left and right
// are earlier nodes, and the word that a word's node expands to (letters left to right)
// is exactly that word.
ProductPlan PlanProducts(int letters, const std::vector<Word>& words);

// The word that node n of `plan` stands for (for checks and tests).
Word Expand(const ProductPlan& plan, int n);

// The plan that builds every word letter by letter, from the right (sharing common
// suffixes: [a w] = [a] · [w]) or from the left (common prefixes). Every product has a
// letter as one factor, which keeps products narrow in encodings.
ProductPlan ChainPlan(int letters, const std::vector<Word>& words, bool fromRight);

}  // namespace velkin::strong
