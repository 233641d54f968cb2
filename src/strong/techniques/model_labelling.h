// Semantic labelling with a finite model found by the SAT solver, then rule removal on
// the labelled problem (strong/techniques/labelled_removal.h).
//
// A model: a carrier {0, ..., n-1} and for every letter a a function [a] on it; a word
// denotes the composition of its letters' functions (first letter outermost), ε the
// identity. Every letter of a word w v is labelled by the value of the rest of the word
// after it, applied to a value k of the carrier for what follows (any k at the end).
// - Model: [l](k) = [r](k) for every rule and every k. A step u l v -> u r v then keeps
//   the value of every suffix that starts left of the redex, so the labels of u stay,
//   and the step is one by the copy of the rule labelled for k = the value of v: every
//   derivation of R/S is one of the labelled problem with the same strict steps.
// - Quasi-model: an order on the carrier (here the order of the numbers), every [a]
//   monotone, [l](k) >= [r](k) for every rule and k, and the decreasing rules
//   a[v+1] ->= a[v] added as weak rules. After a step the values of the suffixes that
//   start left of the redex can only fall (monotone functions), so the step is the
//   labelled rule's step followed by decreasing steps (weak) that lower the labels of u.
// In both cases SN(labelled) implies SN(R/S), for standard and relative problems alike.
#pragma once

#include <cstdint>
#include <vector>

#include "strong/techniques/labelled_removal.h"

namespace velkin::strong {

struct ModelLabellingOptions {
  int size = 2;        // the carrier's size n, 2 to 4
  bool quasi = false;  // a quasi-model with decreasing rules instead of a model
  // The joint search: the model together with an interpretation of the labelled letters
  // under which every labelled rule decreases weakly and every copy of at least one rule
  // strictly, so that the model found helps: weights (dimension 0) or natural matrices
  // of this dimension (1 to 4), entries of `bits` bits.
  int dimension = 0;
  int bits = 2;
  std::int64_t maxClauses = 3'000'000;
  // After the first model, rounds of at most this long look for one under which the
  // copies of more rules decrease strictly.
  double improveSeconds = 0.5;
  LabelledSizeLimits limits;
  std::vector<LabelledRemover> removers = DefaultLabelledRemovers();
};

// The labels are values of the carrier: label[s] is the value of what follows s.
class ModelLabellingWitness : public LabelledRemovalWitness {
 public:
  int size = 2;
  bool quasi = false;
  // By letter of the problem: [a](k) for k = 0..size-1; empty for letters of no rule.
  std::vector<std::vector<int>> tables;

  std::string Technique() const override;
  // A decreasing rule a[v+1] ->= a[v] of a quasi-model.
  bool IsDecreasingRule(const Rule& r) const override;

  // The tables: one per letter of the rules, values in the carrier, monotone for a
  // quasi-model; [l](k) = [r](k) (quasi: >=) for every rule and every k, computed
  // letter by letter; the labelled letters distinct (letter, value) pairs; every letter
  // of a labelled rule labelled by the value of the letters after it at k, the same k
  // on both sides; the labelled rules, as a multiset, every rule with every k, strict
  // from strict, weak from weak; and for a quasi-model exactly the decreasing rules
  // a[v+1] ->= a[v] for every letter a of the rules and v = 0..size-2 besides.
  std::string CheckLabelling(const Problem& base) const override;

 protected:
  void PrintLabelling(const Problem& base, std::vector<std::string>& lines) const override;
  cpf::Written CertifyLabelling(const Problem& base, const Problem& labelledProblem,
                                const cpf::Fragment& sub) const override;
};

// The labelling of `p` by `tables` (by letter, `size` values each; quasi: with the
// decreasing rules), without removals yet. The tables are not checked here.
std::shared_ptr<ModelLabellingWitness> ModelLabelledProblem(
    const Problem& p, int size, bool quasi, const std::vector<std::vector<int>>& tables);

// Searches a model (or quasi-model) of `options.size` elements with the joint search,
// labels `p` with it and removes labelled rules with `options.removers`; a Step to the
// rules of p with a copy left, or None (with a note when something would not fit).
// Relative (and standard) problems without a rule ε -> ε.
Result ModelLabelling(const Problem& p, const Budget& budget,
                      const ModelLabellingOptions& options = {});

}  // namespace velkin::strong
