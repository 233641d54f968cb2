// Rule removal on a labelled copy of a relative problem, read back on the problem itself:
// what the labelling steps (strong/techniques/tiling.h, model_labelling.h) share.
//
// A step labels R/S (after a left context closure, for the tiling), removes labelled
// rules by interpretations (weights, matrices), and leaves R''/S'': the rules of R/S of
// which some labelled copy is left, each with its strictness. Why this is sound:
// - the labelling (each technique's own argument) gives a problem L such that SN(L)
//   implies SN(R/S), through SN of the closure where there is one;
// - every removal step is one of the engine's rule removals, re-checked as such, so
//   SN(L_n) implies SN(L) for the problem L_n that the last one leaves;
// - erasing the labels (and the closure's first letter) maps every strict rule of L_n
//   to a strict rule of R'', every weak one to a weak rule of S'' or to a rule a ->= a
//   (the decreasing rules of a quasi-model), so it maps an infinite derivation of L_n
//   with infinitely many strict steps to one of R''/S'': SN(R''/S'') implies SN(L_n).
// R''/S'' has rules of R/S only, with their strictness, so its loops are loops of R/S.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "strong/technique.h"

namespace velkin::strong {

// One rule removal on the labelled problem: its witness (a rule removal of the engine)
// and the problem it leaves.
struct LabelledStage {
  std::string name;  // the technique that found it, for the proof
  std::shared_ptr<const Witness> removal;
  Problem after;
};

// A rule removal that the step runs on its labelled problem.
struct LabelledRemover {
  std::string name;
  std::function<Result(const Problem&, const Budget&)> run;
  double share = 1.0;  // of the time left when it starts, 0 < share <= 1
};

// Weights found by linear programming (strong/techniques/lp_weights.h), with all of the
// time left: the first of the defaults, and alone the weights of tiles of the strategy.
LabelledRemover WeightsRemover();

// The removals that the labelling steps run by default: weights, then small natural
// and arctic matrices.
std::vector<LabelledRemover> DefaultLabelledRemovers();

// The limits every labelling step keeps to: skip with a note when the labelled problem
// would have more rules, or more letters in all its sides, than this.
struct LabelledSizeLimits {
  std::size_t maxRules = 20'000;
  std::size_t maxLetters = 1'000'000;
};

class LabelledRemovalWitness : public OneStepWitness {
 public:
  // Labelled after a left context closure over the letters of the problem's rules.
  bool closed = false;
  // By letter of `labelled`: the letter of the problem that it labels, and its label.
  std::vector<Symbol> base;
  std::vector<int> label;
  Problem labelled;
  std::vector<LabelledStage> stages;
  // The rules of the problem without a labelled copy left (indices, ascending).
  std::vector<int> removedStrict, removedWeak;

  // Holds when `before` is relative; the closure (if any) is by exactly the letters of
  // its rules; the labelling holds (CheckLabelling); every stage is a rule removal that
  // passes its own re-check and leaves a subsequence of the rules before it; and the one
  // subproblem is `before` without exactly the rules none of whose labelled copies the
  // last stage leaves (at least one), as erasing the labels shows.
  std::string RecheckStep(const Problem& before, const Problem& after) const override;
  // The labelling, the labelled problem, every stage and the rules removed.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // A split by the removed rules D: D over the other rules is proved by the closure, the
  // labelling (CertifyLabelling) and the stages with the copies of D strict; the rest is
  // the subproblem. A loop of the subproblem is carried over as a rule removal.
  cpf::Written CertifyStep(const Problem& before, const Problem& after,
                           const cpf::Fragment& sub) const override;

  // The rule that erasing the labels (and the closure's first letter) makes of a rule of
  // `labelled`; false when a letter is outside `base` or the closure's letter is missing.
  bool Unlabel(const Rule& r, Rule& out) const;
  // True for a decreasing rule of a quasi-model (a weak rule that erasing labels makes
  // a ->= a, which stands for no step); false by default.
  virtual bool IsDecreasingRule(const Rule&) const { return false; }
  // Checks the labelling of `base`, the problem labelled (the closure of `before`, or
  // `before`): its model and that `labelled` holds exactly its labelled rules (and the
  // decreasing rules a quasi-model needs). "" when it does.
  virtual std::string CheckLabelling(const Problem& base) const = 0;

 protected:
  // Checks that the rules of `labelled`, but for the decreasing ones, read back as
  // exactly every rule of `base` with every value of `after` behind it, strict from
  // strict and weak from weak: every letter of a side is labelled by `valueOf` of the
  // labelled letter after it, the last letters of both sides by the same value of
  // `after`. `emptySide`: one side of a rule may be empty. "" when they do.
  std::string CheckLabelledCopies(const Problem& base, const std::vector<int>& after,
                                  const std::function<int(Symbol)>& valueOf, bool emptySide) const;
  // The lines that say how `base` is labelled.
  virtual void PrintLabelling(const Problem& base, std::vector<std::string>& lines) const = 0;
  // The labelling of `base` in certificate form, proving `labelledProblem` (labelled's
  // rules with the strictness the certificate gives them) by `sub`.
  virtual cpf::Written CertifyLabelling(const Problem& base, const Problem& labelledProblem,
                                        const cpf::Fragment& sub) const = 0;
};

// The left closure of `p` over the letters of its rules, as the labelling steps take it.
Problem LeftClosedForLabelling(const Problem& p);

// Runs `removers` on `labelled` in turns (the first that removes something, then from
// the first again) until none removes more, no strict rule is left, or the budget ends;
// every stage passes its re-check before it is kept.
std::vector<LabelledStage> RemoveLabelledRules(const Problem& labelled, const Budget& budget,
                                               const std::vector<LabelledRemover>& removers);

// Completes `w` (its labelling and labelled problem set) with the stages that `removers`
// find, and makes the step: the problem without the rules none of whose copies is left.
// None when no rule loses all its copies.
Result FinishLabelledStep(const Problem& p, std::shared_ptr<LabelledRemovalWitness> w,
                          const Budget& budget, const std::vector<LabelledRemover>& removers);

// The letters of a labelled problem as its builder adds them: one per (letter, label)
// pair, named by the letter with its label in brackets, made unique by further primes.
class LabelledLetters {
 public:
  explicit LabelledLetters(const Alphabet& unlabelled) : unlabelled_(unlabelled) {}
  // The letter `a` labelled `label` (printed as `labelName`), added on first use.
  Symbol Get(Symbol a, int label, const std::string& labelName);
  // Moves the letters into `w` (its base, label and labelled.alphabet).
  void Into(LabelledRemovalWitness& w);

 private:
  const Alphabet& unlabelled_;
  Alphabet alphabet_;
  std::vector<Symbol> base_;
  std::vector<int> label_;
  std::map<std::pair<Symbol, int>, Symbol> index_;
  std::set<std::string> names_;
};

}  // namespace velkin::strong
