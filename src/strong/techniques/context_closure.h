// Context closure: every rule l -> r (strict or weak) becomes the rules a l -> a r for
// every letter a of Σ (left), l a -> r a (right), or a l b -> a r b (both), Σ the letters
// that occur in the rules (non-empty). R/S terminates iff C(R)/C(S) does:
// - every C-step is a step of R∪S, strict when its rule is, so a derivation (or a loop)
//   of C(R)/C(S) is one of R/S, each step by the rule inside its context;
// - the letters that occur in no rule stay where they are in a derivation of R/S, which
//   therefore has infinitely many strict steps inside one of the factors between them,
//   a word u over Σ; the derivation of u is one of a u (or u a, a u a) for any a in Σ,
//   and there every redex has neighbours in Σ, so each step is a C-step.
// It turns a weak rule ε ->= w into the rules a ->= a w, which matrices can orient.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "strong/loop.h"
#include "strong/technique.h"

namespace velkin::strong {

enum class ClosureSide { Left, Right, Both };

struct ContextClosureOptions {
  ClosureSide side = ClosureSide::Left;
  // Only for problems with a rule whose left side is empty: so that a road that tries
  // the closure at every problem closes each problem once.
  bool onlyEmptyLeftSides = true;
  // Skip with a note when the closed problem would have more rules, or more letters in
  // all its sides, than this.
  std::size_t maxRules = 100'000;
  std::size_t maxLetters = 5'000'000;
};

class ContextClosureWitness : public OneStepWitness {
 public:
  ClosureSide side = ClosureSide::Left;
  std::vector<Symbol> letters;  // Σ, ascending

  std::string Technique() const override { return "context closure"; }
  // Holds when `before` is relative, `letters` are distinct letters of its alphabet that
  // include every letter of its rules (at least one), and the one subproblem has the
  // same letters and exactly the closed rules: for each rule in order (strict, then
  // weak), one per context in the order of `letters`, strict where the rule is.
  std::string RecheckStep(const Problem& before, const Problem& after) const override;
  // The side and the letters Σ.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // The certifier's flat context closure (the right side between two reversals), for
  // termination only: a disproof below a closure is carried up as a loop of `before`.
  cpf::Written CertifyStep(const Problem& before, const Problem& after,
                           const cpf::Fragment& sub) const override;
};

// The closed rules of `rules` for `side` and the context letters `letters`, in the order
// that the re-check expects.
std::vector<Rule> ClosedRules(const std::vector<Rule>& rules, ClosureSide side,
                              const std::vector<Symbol>& letters);

// The context closure of a relative problem as `options` say; nothing for a dependency
// pair problem, a problem without letters, or (with onlyEmptyLeftSides) a problem whose
// left sides are all non-empty.
Result ContextClosure(const Problem& p, const Budget& budget,
                      const ContextClosureOptions& options = {});

// The loop of `before` that `closedLoop`, a loop of the problem that `step` closed from
// `before`, is: the same words, each step by the rule inside its context, at its
// position in the word. Null when a step's rule is not a closed rule of `step`'s form
// (the caller re-checks the result against `before` in any case).
std::shared_ptr<LoopWitness> LoopThroughClosure(const ContextClosureWitness& step,
                                                const LoopWitness& closedLoop);

// The loop of `node.problem` that a disproof tree shows: its loop leaf read back through
// the steps above it that keep loops (a reversal, a context closure, or a step whose
// subproblem has rules of its problem only; a weak step there by a rule that is strict in
// the problem above becomes a strict step). Null when the tree is not a disproof. The
// caller re-checks the result.
std::shared_ptr<LoopWitness> LoopOfDisproof(const ProofNode& node);

}  // namespace velkin::strong
