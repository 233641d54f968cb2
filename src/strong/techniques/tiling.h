// Tiling of width 2 (root labelling), then rule removal on the labelled problem
// (strong/techniques/labelled_removal.h).
//
// When both sides of every rule are non-empty and start with the same letter (after a
// left context closure, whose rules a l -> a r have that form, and which preserves
// termination both ways: strong/techniques/context_closure.h), the first letter of a
// word is a model: the algebra over Σ, the letters of the rules, with [a](x) = a, in
// which [l](c) = l_1 = r_1 = [r](c) for every rule and every c. Labelling every letter
// by the value of the word after it is then labelling it by its right neighbour, and the
// last letter by c, the letter that follows the word (any letter of Σ). A step u l v ->
// u r v keeps the first letter of l v, so the labels of u stay, and the step is one by
// the copy of the rule labelled by the first letter of v (or by any c at the end): every
// derivation of R/S is one of the labelled problem, with the same strict steps, and
// SN(labelled) implies SN(R/S). Erasing labels gives the converse, so loops carry over
// both ways; the step here keeps only the unlabelled rules of R/S, whose loops are loops
// of R/S anyway.
#pragma once

#include <vector>

#include "strong/techniques/labelled_removal.h"

namespace velkin::strong {

struct TilingOptions {
  LabelledSizeLimits limits;
  std::vector<LabelledRemover> removers = DefaultLabelledRemovers();
};

// The labels are letters of the problem: label[s] is the right neighbour of s.
class TilingWitness : public LabelledRemovalWitness {
 public:
  std::string Technique() const override { return "tiling of width 2"; }

  // Every rule of `base` has non-empty sides that start with the same letter; the
  // labelled letters are distinct (letter, label) pairs of letters of its rules; every
  // labelled rule has each letter labelled by its right neighbour and its last letters
  // by one letter c of the rules (on both sides), and the labelled rules are, as a
  // multiset, every rule of `base` with every such c, strict from strict, weak from weak.
  std::string CheckLabelling(const Problem& base) const override;

 protected:
  void PrintLabelling(const Problem& base, std::vector<std::string>& lines) const override;
  cpf::Written CertifyLabelling(const Problem& base, const Problem& labelledProblem,
                                const cpf::Fragment& sub) const override;
};

// The tiling of `p` without removals yet: the witness with its labelling and labelled
// problem, after a left context closure unless every rule of p has non-empty sides that
// start with the same letter; null when p has no rule, or when the labelled problem would
// exceed `limits` (with `note`, when given, saying so).
std::shared_ptr<TilingWitness> TiledProblem(const Problem& p, const Budget& budget,
                                            const LabelledSizeLimits& limits = {},
                                            std::string* note = nullptr);

// The tiling of `p` (after a left context closure unless p's rules have the form already)
// with the labelled rules that `options.removers` remove; a Step to the rules of p with a
// copy left, or None (with a note when the labelled problem would be too large).
Result Tiling(const Problem& p, const Budget& budget, const TilingOptions& options = {});

}  // namespace velkin::strong
